#pragma once

#include "database/database.h"
#include "importers/importers.h"
#include "memory_workbook.h"
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

    QStringList captions;
    QStringList messages; // information()
    QStringList errors;
    QList<int> progressMaxima;
    int lastProgress = -1;
    BranchIdentity trimmed;
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

} // namespace kestrel::test
