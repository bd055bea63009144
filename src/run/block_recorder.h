#pragma once

#include "run/block_record.h"

#include <QElapsedTimer>
#include <functional>

namespace kestrel {

struct BlockDefinition;

// Gathers the record of one block as the block runs. When recording is off it keeps only plain
// counters and hands nothing out.
class BlockRecorder {
public:
    // start: what the whole run shares (import, block number, database, branch).
    BlockRecorder(bool enabled, BlockRecord start, const BlockDefinition& block,
                  std::function<QDateTime()> now);

    bool enabled() const { return m_enabled; }
    BlockRecord& record() { return m_record; }

    void templateOpened(const QString& path, const QString& worksheetName);
    // A pass begins; the one running before it ends.
    void passBegins(PassTiming BlockRecord::*pass);
    void rowChecked() { ++m_record.rowsChecked; }
    void rowWritten() { ++m_record.rowsWritten; }
    void rowLeftOut(const QString& key) {
        if (m_enabled)
            m_record.keysLeftOut.append(key);
    }
    // Where the checking pass counts the defaults it writes; null when recording is off.
    DefaultCounts* defaultCounts() { return m_enabled ? &m_defaultCounts : nullptr; }
    void categoriesReconciled(ReconciliationRecord categories);

    // The block's end. A block that did not complete keeps nothing of what it wrote.
    void completed();
    void rowCheckFailed(int row, const QString& message);
    void failed(const QString& error);
    void stopped();

    // Gives the counted defaults their columns' texts; the checks are the block's.
    void describeDefaults(const Workbook& book, const CheckEnvironment& environment);

private:
    void end(BlockOutcome outcome);

    bool m_enabled;
    BlockRecord m_record;
    const BlockDefinition& m_block;
    std::function<QDateTime()> m_now;
    DefaultCounts m_defaultCounts;
    PassTiming* m_runningPass = nullptr;
    QElapsedTimer m_passClock;
};

} // namespace kestrel
