#include "database/db_connection_worker.h"

#include "database/db_sqlite_direct.h"

#include <algorithm>
#include <system_error>

namespace kestrel {

namespace {

// Jobs handed over at a time (about a hundred rows): one lock per batch, not per value.
constexpr std::size_t kBatchJobs = 4096;
// Batches waiting at most: the caller runs ahead of the database by a few hundred rows only.
constexpr std::size_t kQueuedBatches = 2;

} // namespace

ConnectionWorker::ConnectionWorker() {
    m_filling.reserve(kBatchJobs);
}

ConnectionWorker::~ConnectionWorker() {
    abandon();
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

// False when no thread can be had: the work then runs on the caller's thread, as called.
bool ConnectionWorker::ensureThread() noexcept {
    if (m_thread.joinable())
        return true;
    try {
        m_thread = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void ConnectionWorker::start() {
    waitIdle();
    m_running = ensureThread();
}

void ConnectionWorker::runTask(std::function<void()> task) {
    waitIdle();
    if (!ensureThread()) {
        task();
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        m_pendingTasks = true;
    }
    m_changed.notify_all();
}

void ConnectionWorker::finish() {
    waitIdle();
    m_running = false;
    throwFailure();
    m_inserts.clear();
}

void ConnectionWorker::abandon() noexcept {
    waitIdle();
    m_running = false;
    resetAfterFailure();
    m_inserts.clear();
}

void ConnectionWorker::waitIdle() noexcept {
    if ((!m_running && m_filling.empty() && !m_pendingTasks) ||
        std::this_thread::get_id() == m_thread.get_id())
        return;
    std::unique_lock lock(m_mutex);
    if (!m_filling.empty()) {
        m_queue.push_back(std::move(m_filling));
        m_changed.notify_all();
    }
    m_changed.wait(lock, [this] { return m_queue.empty() && m_tasks.empty() && !m_busy; });
    m_pendingTasks = false;
    if (!m_spare.empty()) {
        m_filling = std::move(m_spare.back());
        m_spare.pop_back();
    }
}

void ConnectionWorker::forget(const DirectInsert& insert) noexcept {
    waitIdle();
    std::erase(m_inserts, &insert);
}

void ConnectionWorker::bind(DirectInsert& insert, int position, const QVariant& value) {
    give(insert, position, value);
}

void ConnectionWorker::exec(DirectInsert& insert) {
    give(insert, 0, QVariant());
}

void ConnectionWorker::give(DirectInsert& insert, int position, const QVariant& value) {
    if (m_failed.load(std::memory_order_relaxed) || m_filling.size() >= kBatchJobs)
        submit();
    if (m_inserts.empty() || m_inserts.back() != &insert) {
        if (std::find(m_inserts.begin(), m_inserts.end(), &insert) == m_inserts.end())
            m_inserts.push_back(&insert);
    }
    m_filling.push_back({&insert, position, value});
}

// Hands the filled batch over, waiting while the thread is a few batches behind.
void ConnectionWorker::submit() {
    std::unique_lock lock(m_mutex);
    if (m_failure) {
        lock.unlock();
        throwFailure();
    }
    m_changed.wait(lock, [this] { return m_queue.size() < kQueuedBatches; });
    m_queue.push_back(std::move(m_filling));
    m_filling = Batch();
    if (!m_spare.empty()) {
        m_filling = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    m_changed.notify_all();
    m_filling.reserve(kBatchJobs);
}

// Throws the failure, if any, once the thread is idle and the inserts are reset.
void ConnectionWorker::throwFailure() {
    waitIdle();
    std::exception_ptr failure;
    {
        const std::lock_guard lock(m_mutex);
        failure = m_failure;
    }
    if (!failure)
        return;
    m_running = false;
    resetAfterFailure();
    std::rethrow_exception(failure);
}

void ConnectionWorker::resetAfterFailure() noexcept {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_failure)
            return;
        m_failure = nullptr;
        m_failed = false;
    }
    m_filling.clear();
    for (DirectInsert* insert : m_inserts)
        insert->clearBindings();
    m_inserts.clear();
}

void ConnectionWorker::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty() || !m_tasks.empty(); });
        if (!m_tasks.empty()) {
            runTaskLocked(lock);
            continue;
        }
        if (m_queue.empty())
            return;
        Batch batch = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        const bool skip = m_failure != nullptr;
        lock.unlock();
        m_changed.notify_all();
        std::exception_ptr failure = skip ? nullptr : runBatch(batch);
        batch.clear(); // the values' last copies go here, off the caller's thread
        lock.lock();
        if (failure && !m_failure) {
            m_failure = failure;
            m_failed = true;
        }
        m_spare.push_back(std::move(batch));
        m_busy = false;
        m_changed.notify_all();
    }
}

void ConnectionWorker::runTaskLocked(std::unique_lock<std::mutex>& lock) {
    std::function<void()> task = std::move(m_tasks.front());
    m_tasks.pop_front();
    m_busy = true;
    lock.unlock();
    task();
    task = nullptr;
    lock.lock();
    m_busy = false;
    m_changed.notify_all();
}

std::exception_ptr ConnectionWorker::runBatch(Batch& batch) noexcept {
    try {
        for (Job& job : batch) {
            if (job.position == 0)
                job.insert->execNow();
            else
                job.insert->bindNow(job.position, std::move(job.value));
        }
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

} // namespace kestrel
