#pragma once

#include "database/database.h"
#include "importers/importers.h"
#include "memory_workbook.h"
#include "run/block_record.h"
#include "run/import_run.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>
#include <memory>

namespace kestrel::test {

// Remembers everything a run reports, in order.
class RecordingObserver : public RunObserver {
public:
    void captionChanged(const QString& caption) override;
    void progressReset(int maximum) override;
    void progressChanged(int position) override;
    void information(const QString& text) override;
    void error(const QString& text) override;
    void identityTrimmed(const BranchIdentity& identity) override;
    void blockRecorded(const BlockRecord& record) override;

    QStringList captions;
    QStringList messages; // information()
    QStringList errors;
    QList<int> progressMaxima;
    int lastProgress = -1;
    BranchIdentity trimmed;
    QList<BlockRecord> records;
};

// Stops the run when the progress bar reaches a row of a chosen pass.
class StoppingObserver : public RecordingObserver {
public:
    StoppingObserver(std::atomic<bool>& stop, const QList<RunPhase>& phases, RunPhase pass, int row)
        : m_stop(stop), m_phases(phases), m_pass(pass), m_row(row) {}
    void progressChanged(int position) override {
        RecordingObserver::progressChanged(position);
        if (!m_phases.isEmpty() && m_phases.last() == m_pass && position == m_row)
            m_stop = true;
    }

private:
    std::atomic<bool>& m_stop;
    const QList<RunPhase>& m_phases;
    RunPhase m_pass;
    int m_row;
};

// The stored-value tables with chosen column types.
enum class SchemaFlavour {
    Loose,  // text columns without length, numbers as NUMERIC, dates as DATETIME
    Strict, // varchar(n) with NOCASE, numeric(18,2) money, integer counts, datetime dates
    Branch, // the embedded branch database of schema/branch.sql
};
QStringList storedValueSchema(SchemaFlavour flavour);

// Template rows of "青雁充值卡模板.xls": the header, and a row that passes every check (index i
// holds column i + 1).
QStringList storedValueHeader();
QStringList storedValueRow(const QString& chipNumber,
                           const QString& cardType = QStringLiteral("金卡"));

// A branch database in a temporary SQLite file, a Database over it, and a run context whose
// templates are in-memory workbooks handed out by name.
class RunFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void createSchema(const QStringList& statements);
    void exec(const QString& statement);
    QVariant scalar(const QString& select);
    int count(const QString& table, const QString& where = QString());
    QStringList column(const QString& select); // the first column of every row, as text

    // A template of that file name, header row included; rows are appended by the test.
    MemoryWorkbook& addTemplate(const QString& fileName, int worksheets = 1);
    RunOutcome run(ImportKind kind, RunMode mode = RunMode::Import);
    RunOutcome runDefinition(const ImportDefinition& definition, RunMode mode = RunMode::Import);
    // What run() hands the engine; reports go to `observer` unless another is given.
    RunContext context(RunMode mode, RunObserver* reportTo = nullptr);

    QDateTime now = QDateTime(QDate(2024, 2, 28), QTime(13, 4, 5, 123));
    BranchIdentity identity{QStringLiteral("T01"), QStringLiteral("0101"),
                            QStringLiteral("青雁一店")};
    QLocale locale = QLocale(QLocale::Chinese, QLocale::China);
    RecordingObserver observer;
    QList<RunPhase> phases;                 // as the run reports them
    std::atomic<bool> stopRequested{false}; // handed to every run
    std::unique_ptr<QTemporaryDir> folder;
    QString connectionName;
    std::unique_ptr<Database> database;
    QMap<QString, std::shared_ptr<MemoryWorkbook>> templates;
};

// The stored-value import on the strict tables, its template in memory with the header only.
class StoredValueRunFixture : public RunFixture {
protected:
    void SetUp() override;
    // Starts the template afresh: the header only.
    void restartTemplate();
    // Good rows of those chip numbers.
    void addRows(const QStringList& chips);

    MemoryWorkbook* book = nullptr;
};

} // namespace kestrel::test
