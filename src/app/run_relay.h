#pragma once

#include "run/run_observer.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace kestrel {

// Carries the reports of a run on another thread to an observer on the window's thread.
//
// The caption and the progress position change with every row: the relay keeps only the latest
// of each and hands them on every interval (a person's pace, not the run's), and before any other
// report. The other reports (a message box, the trimmed identity, a new range of the progress
// bar, which ends a pass) are handed on one by one in order, the run waiting until each has been
// carried out, so that message boxes stay modal to the run.
//
// While held (the window asks the operator something) the run waits at its next row or report,
// and nothing is handed on. close() ends every wait for good: later reports are dropped.
class RunRelay : public QObject, public RunObserver {
    Q_OBJECT
public:
    RunRelay(RunObserver& target, int intervalMs, QObject* parent = nullptr);
    ~RunRelay() override;

    // The run's side, from any thread.
    void captionChanged(const QString& caption) override;
    void progressReset(int maximum) override;
    void progressChanged(int position) override;
    void information(const QString& text) override;
    void error(const QString& text) override;
    void identityTrimmed(const BranchIdentity& identity) override;
    void blockRecorded(const BlockRecord& record) override;

    // The window's side.
    void setHeld(bool held);
    // Hands on the latest caption and position, then the reports waiting (none while held).
    void deliver();
    void close();

private:
    using Report = std::function<void(RunObserver&)>;

    void post(Report report);
    void waitWhileHeld(std::unique_lock<std::mutex>& lock);
    void deliverLatest();

    RunObserver& m_target;
    QTimer m_timer;
    bool m_delivering = false; // the window's thread only

    std::mutex m_mutex; // guards everything below
    std::condition_variable m_changed;
    std::atomic<bool> m_held{false}; // read without the lock on every row
    bool m_closed = false;
    QString m_caption;
    int m_position = 0;
    bool m_captionFresh = false;
    bool m_positionFresh = false;
    std::deque<Report> m_reports;
    quint64 m_posted = 0;
    quint64 m_delivered = 0;
};

} // namespace kestrel
