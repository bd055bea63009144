// Every import through the SQLite ODBC driver ("odbcconnect") against the same import
// through QSQLITE, on the same schema and the committed sample templates: the databases
// afterwards must be identical, value for value and storage type for storage type.
#include "odbc_test_support.h"

#include "database/connection.h"
#include "database/settings_file.h"
#include "database_contents.h"
#include "importers/importers.h"
#include "run_fixture.h"
#include "sqlite_script.h"
#include "test_paths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>

namespace kestrel::test {
namespace {

const QString kSection = QStringLiteral("Kestrel");

class OdbcEquivalence : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sqliteOdbcDriverAvailable())
            GTEST_SKIP() << "the SQLite3 ODBC driver is not registered";
        ASSERT_TRUE(m_dir.isValid());
        copySampleTemplates(sourceDir() + QStringLiteral("/templates"), templateFolder());
    }

    QString templateFolder() const { return m_dir.filePath(QStringLiteral("templates")); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A branch database made by running the statements of the schema.
    void createDatabase(const QString& file, const QStringList& statements) {
        runStatements(file, statements);
    }

    // A folder with "Kestrel.ini" reaching file either way.
    QString settingsFor(const QString& file, bool throughOdbc) {
        const QString folder = file + QStringLiteral(".settings");
        QDir().mkpath(folder);
        SettingsFile settings(settingsFilePath(folder));
        if (throughOdbc) {
            settings.write(kSection, QStringLiteral("odbcconnect"), sqliteOdbcConnectString(file));
        } else {
            settings.write(kSection, QStringLiteral("dbtype"), QStringLiteral("sqlite"));
            settings.write(kSection, QStringLiteral("dbname"), file);
        }
        return settingsFilePath(folder);
    }

    RunOutcome runThrough(const QString& file, bool throughOdbc, ImportKind kind,
                          RecordingObserver& observer) {
        const std::unique_ptr<Database> database =
            openBranchDatabase(settingsFor(file, throughOdbc));
        EXPECT_EQ(database->dialect(), Dialect::Sqlite);
        EXPECT_EQ(database->connection().driverName(),
                  throughOdbc ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE"));
        RunContext context(*database, observer);
        context.templateFolder = templateFolder();
        context.identity = {QStringLiteral("T01"), QStringLiteral("0101"),
                            QStringLiteral("青雁一店")};
        context.locale = QLocale(QLocale::Chinese, QLocale::China);
        context.now = [] { return QDateTime(QDate(2024, 2, 28), QTime(13, 4, 5)); };
        return runImport(kind, context);
    }

    // Runs the import both ways (runs times each) on two copies of the schema; gives the QSQLITE
    // contents.
    QStringList expectSameDatabase(ImportKind kind, const QStringList& schema, const QString& tag,
                                   int runs = 1) {
        const QString viaSqlite = path(tag + QStringLiteral("-qsqlite.db"));
        const QString viaOdbc = path(tag + QStringLiteral("-odbc.db"));
        createDatabase(viaSqlite, schema);
        createDatabase(viaOdbc, schema);
        RecordingObserver sqliteRun;
        RecordingObserver odbcRun;
        RunOutcome expected = RunOutcome::Completed;
        RunOutcome outcome = RunOutcome::Completed;
        for (int run = 0; run < runs; ++run) {
            expected = runThrough(viaSqlite, false, kind, sqliteRun);
            outcome = runThrough(viaOdbc, true, kind, odbcRun);
        }
        EXPECT_EQ(outcome, expected) << odbcRun.errors.join(u'\n').toStdString();
        EXPECT_EQ(odbcRun.messages, sqliteRun.messages);
        EXPECT_EQ(odbcRun.errors, sqliteRun.errors);
        const QStringList before = contents(viaSqlite);
        const QStringList after = contents(viaOdbc);
        EXPECT_TRUE(before == after) << tag.toStdString() << firstDifferences(before, after);
        return before;
    }

private:
    QTemporaryDir m_dir;
};

QStringList branchSchema() {
    QStringList statements;
    for (const char* file : {"/schema/branch.sql", "/schema/demo-data.sql"}) {
        QFile script(sourceDir() + QString::fromLatin1(file));
        EXPECT_TRUE(script.open(QIODevice::ReadOnly));
        statements += sqlscript::splitStatements(QString::fromUtf8(script.readAll()));
    }
    return statements;
}

TEST_F(OdbcEquivalence, EveryImportWritesTheSameRowsAsThroughQsqlite) {
    int ran = 0;
    for (const ImportEntry& entry : importRegistry()) {
        ++ran;
        SCOPED_TRACE(entry.commandName.toStdString());
        const QStringList written =
            expectSameDatabase(entry.kind, branchSchema(), entry.commandName);
        // Rows were written, Chinese texts among them.
        const QString fresh = path(entry.commandName + QStringLiteral("-fresh.db"));
        createDatabase(fresh, branchSchema());
        const QStringList untouched = contents(fresh);
        const auto isNewChineseRow = [&untouched](const QString& row) {
            return !untouched.contains(row) && std::any_of(row.begin(), row.end(), [](QChar c) {
                return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
            });
        };
        EXPECT_TRUE(std::any_of(written.begin(), written.end(), isNewChineseRow));
    }
    EXPECT_EQ(ran, importRegistry().size());
}

// The stored-value tables with other column types: lengths, NOCASE keys, numerics, datetimes.
TEST_F(OdbcEquivalence, StoredValueOnOtherColumnTypes) {
    expectSameDatabase(ImportKind::StoredValue, storedValueSchema(SchemaFlavour::Loose),
                       QStringLiteral("loose"));
    expectSameDatabase(ImportKind::StoredValue, storedValueSchema(SchemaFlavour::Strict),
                       QStringLiteral("strict"));
}

// More rows than the layer reads in one page: the second run pages through the main table and
// searches it by an index read from the database, through ODBC as through QSQLITE.
TEST_F(OdbcEquivalence, SecondRunOverALargeTableSkipsEveryRow) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {sourceDir() + QStringLiteral("/bench/import/make_stored_value.py"),
                  templateFolder() + QStringLiteral("/青雁充值卡模板.xls"),
                  QStringLiteral("2500")});
    ASSERT_TRUE(python.waitForFinished(60000));
    if (python.exitCode() != 0)
        GTEST_SKIP() << "python3-xlwt is needed to write the large template";
    const QStringList written =
        expectSameDatabase(ImportKind::StoredValue, branchSchema(), QStringLiteral("large"), 2);
    EXPECT_EQ(
        written.filter(QRegularExpression(QStringLiteral("^HY_Member #\\d+: MemberID="))).size(),
        2500);
}

// A trigger that raises on the second card value log row: the whole block is rolled back
// through ODBC, the rows posted before it included, and the trigger's own text is reported.
TEST_F(OdbcEquivalence, FailingBlockRollsBackThroughOdbc) {
    const QString file = path(QStringLiteral("trigger.db"));
    QStringList schema = branchSchema();
    schema.append(QStringLiteral(
        "CREATE TRIGGER refuse_second_log AFTER INSERT ON HY_CardValueOpLog WHEN (SELECT "
        "COUNT(*) FROM HY_CardValueOpLog) > 1 BEGIN SELECT RAISE(ABORT, '第二条日志被拒绝'); "
        "END"));
    createDatabase(file, schema);
    const QStringList before = contents(file);
    RecordingObserver observer;
    EXPECT_EQ(runThrough(file, true, ImportKind::StoredValue, observer), RunOutcome::Error);
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors.front().contains(QStringLiteral("第二条日志被拒绝")))
        << observer.errors.front().toStdString();
    EXPECT_TRUE(observer.messages.isEmpty());
    const QStringList after = contents(file);
    EXPECT_TRUE(before == after) << firstDifferences(before, after);
}

} // namespace
} // namespace kestrel::test
