#pragma once

#include "run/import_run.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QThread;

namespace kestrel {

class Workbook;

// What a run on its own thread needs from the window.
struct ThreadRunSettings {
    QString settingsPath; // the run opens a connection of its own from this settings file
    QString templateFolder;
    BranchIdentity identity;
    QLocale locale = QLocale::system();
    // Opens a template; when empty, openWorkbook (tests put an in-memory workbook here).
    std::function<std::unique_ptr<Workbook>(const QString& path)> openWorkbook;
};

// One import run on a thread of its own, on a database connection opened there (a connection
// serves only the thread that opened it), reporting to an observer that may be called from
// that thread. The window's thread stays free to repaint and to ask the run to stop.
class ImportThread {
public:
    ImportThread(ImportKind kind, ThreadRunSettings settings, RunObserver& observer);
    ~ImportThread(); // asks a run still going to stop and waits for it
    ImportThread(const ImportThread&) = delete;
    ImportThread& operator=(const ImportThread&) = delete;

    void start();
    // Runs the calling thread's event loop until the run has ended; returns early when the
    // application quits meanwhile (finished() then tells).
    void waitInEventLoop();
    bool finished() const;
    // Blocks until the run has ended.
    void wait();
    // The run's outcome once finished.
    std::optional<RunOutcome> outcome() const { return m_outcome; }

    // The run rolls its running block back at its next row, or before the block commits.
    void requestStop() { m_stop.store(true); }

private:
    void run();

    ImportKind m_kind;
    ThreadRunSettings m_settings;
    RunObserver& m_observer;
    std::atomic<bool> m_stop{false};
    std::optional<RunOutcome> m_outcome; // written by the run's thread before it ends
    std::unique_ptr<QThread> m_thread;
};

} // namespace kestrel
