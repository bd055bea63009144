#include "app/run_relay.h"

#include "run/block_record.h"

namespace kestrel {

RunRelay::RunRelay(RunObserver& target, int intervalMs, QObject* parent)
    : QObject(parent), m_target(target) {
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &RunRelay::deliverLatest);
    m_timer.start();
}

RunRelay::~RunRelay() {
    close();
}

void RunRelay::captionChanged(const QString& caption) {
    std::unique_lock lock(m_mutex);
    m_caption = caption;
    m_captionFresh = true;
}

void RunRelay::progressChanged(int position) {
    std::unique_lock lock(m_mutex);
    if (m_held.load(std::memory_order_relaxed))
        waitWhileHeld(lock);
    m_position = position;
    m_positionFresh = true;
}

// A new range ends the pass before it: its last row is handed on first, whatever the interval.
void RunRelay::progressReset(int maximum) {
    post([maximum](RunObserver& target) { target.progressReset(maximum); });
}

void RunRelay::information(const QString& text) {
    post([text](RunObserver& target) { target.information(text); });
}

void RunRelay::error(const QString& text) {
    post([text](RunObserver& target) { target.error(text); });
}

void RunRelay::identityTrimmed(const BranchIdentity& identity) {
    post([identity](RunObserver& target) { target.identityTrimmed(identity); });
}

void RunRelay::blockRecorded(const BlockRecord& record) {
    post([record](RunObserver& target) { target.blockRecorded(record); });
}

void RunRelay::post(Report report) {
    std::unique_lock lock(m_mutex);
    waitWhileHeld(lock);
    if (m_closed)
        return;
    m_reports.push_back(std::move(report));
    const quint64 ticket = ++m_posted;
    QMetaObject::invokeMethod(this, &RunRelay::deliver, Qt::QueuedConnection);
    m_changed.wait(lock, [&] { return m_closed || m_delivered >= ticket; });
}

void RunRelay::waitWhileHeld(std::unique_lock<std::mutex>& lock) {
    m_changed.wait(lock, [this] { return m_closed || !m_held.load(std::memory_order_relaxed); });
}

void RunRelay::setHeld(bool held) {
    {
        std::unique_lock lock(m_mutex);
        m_held.store(held, std::memory_order_relaxed);
    }
    m_changed.notify_all();
    if (!held)
        deliver();
}

void RunRelay::close() {
    {
        std::unique_lock lock(m_mutex);
        m_closed = true;
        m_reports.clear();
    }
    m_changed.notify_all();
    m_timer.stop();
}

void RunRelay::deliverLatest() {
    QString caption;
    int position = 0;
    bool captionFresh = false;
    bool positionFresh = false;
    {
        std::unique_lock lock(m_mutex);
        std::swap(captionFresh, m_captionFresh);
        std::swap(positionFresh, m_positionFresh);
        caption = m_caption;
        position = m_position;
    }
    if (positionFresh)
        m_target.progressChanged(position);
    if (captionFresh)
        m_target.captionChanged(caption);
}

// A report may show a modal box, whose event loop may call this again: the reports stay in order
// because only the outermost call hands them on.
void RunRelay::deliver() {
    deliverLatest();
    if (m_delivering)
        return;
    m_delivering = true;
    for (;;) {
        Report report;
        {
            std::unique_lock lock(m_mutex);
            if (m_held.load(std::memory_order_relaxed) || m_reports.empty())
                break;
            report = std::move(m_reports.front());
            m_reports.pop_front();
        }
        report(m_target);
        {
            std::unique_lock lock(m_mutex);
            ++m_delivered;
        }
        m_changed.notify_all();
    }
    m_delivering = false;
}

} // namespace kestrel
