#pragma once

#include <QVariant>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrel {

class DirectInsert;

// Works on a SQLite connection from a second thread while the caller goes on: runs the binds
// and steps of direct inserts, in the order given, while the caller converts the next rows, and
// tasks such as reading a column. A connection is used by one thread at a time: whoever else
// needs it first waits until everything given has run (waitIdle()).
//
// A failure stops the work: what was given after it is dropped, every insert that took part
// has its bindings cleared, and the failure is thrown to the caller at its next bind, exec or
// finish. The transaction around the inserts is then the caller's to roll back.
class ConnectionWorker {
public:
    ConnectionWorker();
    ~ConnectionWorker(); // drops what has not run, ends the thread
    ConnectionWorker(const ConnectionWorker&) = delete;
    ConnectionWorker& operator=(const ConnectionWorker&) = delete;

    // From start() to finish() or abandon(), given work runs in the background.
    void start();
    bool running() const { return m_running; }
    // Waits for the work given, ends background running, and throws its failure if any.
    void finish();
    // Waits for the work given, ends background running and forgets any failure.
    void abandon() noexcept;
    // Waits until everything given has run; running goes on. Returns at once on the worker's
    // own thread, where a task uses the connection.
    void waitIdle() noexcept;
    // Runs the task on the thread after everything given before, whether or not inserts run
    // in the background. The task must catch what it throws and use no Qt SQL classes.
    void runTask(std::function<void()> task);
    // An insert about to be finalized: no work of it may stay queued or remembered.
    void forget(const DirectInsert& insert) noexcept;

    // Work for the thread; each throws the failure of work given before, as finish() does.
    void bind(DirectInsert& insert, int position, const QVariant& value);
    void exec(DirectInsert& insert);

private:
    struct Job {
        DirectInsert* insert = nullptr;
        int position = 0; // 0: run the insert
        QVariant value;
    };
    using Batch = std::vector<Job>;

    bool ensureThread() noexcept;
    void give(DirectInsert& insert, int position, const QVariant& value);
    void submit();
    void throwFailure();
    void resetAfterFailure() noexcept;
    void work();
    void runTaskLocked(std::unique_lock<std::mutex>& lock);
    static std::exception_ptr runBatch(Batch& batch) noexcept;

    bool m_running = false;
    bool m_pendingTasks = false; // a task was given since the last wait (the caller's side)
    Batch m_filling;             // the caller's side only
    std::vector<DirectInsert*> m_inserts; // every insert given work since start()

    std::mutex m_mutex; // guards everything below
    std::condition_variable m_changed;
    std::deque<Batch> m_queue;
    std::deque<std::function<void()>> m_tasks;
    std::vector<Batch> m_spare;
    bool m_busy = false;
    bool m_stopping = false;
    std::exception_ptr m_failure;
    std::atomic<bool> m_failed{false}; // m_failure is set: read without the lock
    std::thread m_thread;
};

} // namespace kestrel
