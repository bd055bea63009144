#pragma once

#include "run/import_run.h"
#include "run/run_observer.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <map>
#include <optional>

namespace kestrel::bench {

// Records when each phase of the run began, from the run's phase hook and, as a fallback when
// the run does not call the hook, from the progress resets of the two passes.
class TimingObserver : public RunObserver {
public:
    TimingObserver() { m_clock.start(); }

    void captionChanged(const QString&) override {}
    void progressReset(int) override {
        m_progressResets.append(m_clock.nsecsElapsed());
        m_stepsSinceReset = 0;
    }
    void progressChanged(int) override {
        m_lastProgressAt = m_clock.nsecsElapsed();
        ++m_stepsSinceReset;
    }
    void information(const QString& text) override {
        m_messages.append(text);
        m_lastMessageAt = m_clock.nsecsElapsed();
    }
    void error(const QString& text) override { m_errors.append(text); }
    void identityTrimmed(const BranchIdentity&) override {}

    void phaseStarted(RunPhase phase) { m_phases.emplace(phase, m_clock.nsecsElapsed()); }
    void markStart() { m_start = m_clock.nsecsElapsed(); }
    void markEnd() { m_end = m_clock.nsecsElapsed(); }

    double totalSeconds() const { return seconds(m_start, m_end); }
    // Seconds from the beginning of one phase to the beginning of the next; nothing when the
    // run did not report them.
    std::optional<double> phaseSeconds(RunPhase phase, RunPhase next) const {
        const auto from = m_phases.find(phase);
        const auto to = m_phases.find(next);
        if (from == m_phases.end() || to == m_phases.end())
            return std::nullopt;
        return seconds(from->second, to->second);
    }
    std::optional<double> beforePhaseSeconds(RunPhase phase) const {
        const auto at = m_phases.find(phase);
        if (at == m_phases.end())
            return std::nullopt;
        return seconds(m_start, at->second);
    }
    std::optional<double> afterPhaseSeconds(RunPhase phase) const {
        const auto at = m_phases.find(phase);
        if (at == m_phases.end())
            return std::nullopt;
        return seconds(at->second, m_end);
    }
    bool hasPhases() const { return !m_phases.empty(); }
    const QList<qint64>& progressResets() const { return m_progressResets; }
    qint64 startNs() const { return m_start; }
    qint64 lastMessageNs() const { return m_lastMessageAt; }
    qint64 lastProgressNs() const { return m_lastProgressAt; }
    qint64 endNs() const { return m_end; }
    // Progress steps since the latest reset: the rows of the last pass.
    qint64 importRows() const { return m_stepsSinceReset; }
    const QStringList& messages() const { return m_messages; }
    const QStringList& errors() const { return m_errors; }

    static double seconds(qint64 from, qint64 to) { return static_cast<double>(to - from) / 1e9; }

private:
    QElapsedTimer m_clock;
    qint64 m_start = 0;
    qint64 m_end = 0;
    qint64 m_lastMessageAt = 0;
    qint64 m_lastProgressAt = 0;
    qint64 m_stepsSinceReset = 0;
    std::map<RunPhase, qint64> m_phases;
    QList<qint64> m_progressResets;
    QStringList m_messages;
    QStringList m_errors;
};

} // namespace kestrel::bench
