#include "run/block_recorder.h"

#include "database/db_sql_text.h"
#include "run/import_definition.h"

namespace kestrel {

namespace {

// The table a query of that role appends to: the one its opening statement selects from.
QString tableOf(const BlockDefinition& block, QueryRole role) {
    if (role == QueryRole::Card)
        return selectedTable(block.mainStatement);
    for (const QList<QueryOpening>* openings : {&block.preparatory, &block.importPassOpenings}) {
        for (const QueryOpening& opening : *openings) {
            if (opening.role == role)
                return selectedTable(opening.statement);
        }
    }
    return {};
}

} // namespace

BlockRecorder::BlockRecorder(bool enabled, BlockRecord start, const BlockDefinition& block,
                             std::function<QDateTime()> now)
    : m_enabled(enabled), m_record(std::move(start)), m_block(block), m_now(std::move(now)),
      m_defaultCounts(block.checks.size()) {
    m_record.templatePath = block.templateFile;
    m_record.worksheet = block.worksheet;
    m_record.mainTable = selectedTable(block.mainStatement);
    m_record.keyField = block.keyField;
    for (const WrittenRow& row : block.rows)
        m_record.writtenTables.append(tableOf(block, row.role));
    m_record.started = m_now();
}

void BlockRecorder::templateOpened(const QString& path, const QString& worksheetName) {
    m_record.templatePath = path;
    m_record.worksheetName = worksheetName;
}

void BlockRecorder::passBegins(PassTiming BlockRecord::*pass) {
    if (m_runningPass)
        m_runningPass->microseconds = m_passClock.nsecsElapsed() / 1000;
    m_runningPass = &(m_record.*pass);
    m_runningPass->started = m_now();
    m_passClock.start();
}

void BlockRecorder::categoriesReconciled(ReconciliationRecord categories) {
    if (m_enabled)
        m_record.categories.append(std::move(categories));
}

void BlockRecorder::describeDefaults(const Workbook& book, const CheckEnvironment& environment) {
    if (m_enabled)
        m_record.defaults =
            defaultsWritten(book, m_block.worksheet, m_block.checks, m_defaultCounts, environment);
}

void BlockRecorder::completed() {
    end(BlockOutcome::Completed);
}

void BlockRecorder::rowCheckFailed(int row, const QString& message) {
    m_record.failedRow = row;
    m_record.message = message;
    end(BlockOutcome::RowCheckFailed);
}

void BlockRecorder::failed(const QString& error) {
    m_record.message = error;
    end(BlockOutcome::Error);
}

void BlockRecorder::stopped() {
    end(BlockOutcome::Stopped);
}

void BlockRecorder::end(BlockOutcome outcome) {
    if (m_runningPass)
        m_runningPass->microseconds = m_passClock.nsecsElapsed() / 1000;
    m_runningPass = nullptr;
    m_record.outcome = outcome;
    if (outcome == BlockOutcome::Completed)
        return;
    // Rolled back: nothing of it is in the database.
    m_record.rowsWritten = 0;
    m_record.keysLeftOut.clear();
    m_record.categories.clear();
}

} // namespace kestrel
