// Every import through FreeTDS and Qt's ODBC driver to the SQL Server 2000 stand-in of
// tests/support (test equipment), against the same import on the embedded SQLite path: the rows
// written, the requests sent, and what a failed or killed block leaves.
#include "database/connection.h"
#include "database/settings_file.h"
#include "database_contents.h"
#include "importers/importers.h"
#include "run_fixture.h"
#include "sql_server_stand_in.h"
#include "sqlite_script.h"
#include "test_paths.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace kestrel::test {
namespace {

const QString kChinese = QStringLiteral("Chinese_PRC_CI_AS");
const QString kLatin1 = QStringLiteral("SQL_Latin1_General_CP1_CI_AS");
const QString kSection = QStringLiteral("Kestrel");

// The branch schema with its demo data; its text columns as nvarchar when asked.
QStringList branchStatements(bool nvarchar) {
    QStringList statements;
    for (const char* file : {"/schema/branch.sql", "/schema/demo-data.sql"}) {
        QFile script(sourceDir() + QString::fromLatin1(file));
        EXPECT_TRUE(script.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(script.readAll());
        if (nvarchar)
            text.replace(QRegularExpression(QStringLiteral("\\bvarchar\\(")),
                         QStringLiteral("nvarchar("));
        statements += sqlscript::splitStatements(text);
    }
    return statements;
}

// More rows than the layer holds as one result in every main table an import searches: each
// table, its key column, and the columns and values of its filler rows (key "FILLER-n").
struct Filler {
    const char* table;
    const char* key;
    const char* columns;
    const char* values;
};
const Filler kFillers[] = {
    {"HY_Member", "MemberID", "MemberName", "'会员' || i"},
    {"HY_JFAgioCardDetail", "CardCode", "ClientName", "'客户' || i"},
    {"HY_JiCiCardDetail", "CardCode", "CardGroupID", "'JiCiCard'"},
    {"HY_JiCiCardDetail", "CardCode", "CardGroupID", "'ShiDuanCard'"},
    {"SN_RoomDetail", "RoomDetailSN", "DiningRoomName", "'大厅'"},
    {"SN_HandBrand", "HandBrandSN", "HandTypeName", "'普通'"},
    {"CY_DishDetail", "DishSN", "DishName", "'项目' || i"},
    {"CK_Goods", "GoodsID", "GoodsName", "'商品' || i"},
    {"HR_Employe", "EmployeSN", "EmployeName", "'员工' || i"},
};

QStringList fillerStatements() {
    QStringList statements;
    for (const Filler& filler : kFillers)
        statements.append(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                           "i < 2100) INSERT INTO %1 (%2, %3) SELECT '%4-FILLER-' || i, %5 FROM n")
                .arg(QLatin1String(filler.table), QLatin1String(filler.key),
                     QLatin1String(filler.columns), QString::number(&filler - kFillers),
                     QString::fromUtf8(filler.values)));
    return statements;
}

// The contents of a database but its filler rows.
QStringList importedContents(const QString& path) {
    QHash<QString, QString> only;
    for (const Filler& filler : kFillers)
        only.insert(QLatin1String(filler.table),
                    QStringLiteral("%1 IS NULL OR %1 NOT LIKE '%-FILLER-%'")
                        .arg(QLatin1String(filler.key)));
    return contents(path, only);
}

bool hasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

// What the log shows of each block's transaction: nothing cancelled between its BEGIN
// TRANSACTION and its commit, and each insert prepared at most once. Gives the blocks seen.
int expectWholeBlocks(const QList<QJsonObject>& log) {
    int blocks = 0;
    bool inBlock = false;
    QHash<QString, int> prepared;
    for (const QJsonObject& entry : log) {
        const QString kind = entry.value(QStringLiteral("kind")).toString();
        const QString text = entry.value(QStringLiteral("text")).toString().trimmed();
        if (kind == u"batch" && text == u"BEGIN TRANSACTION") {
            inBlock = true;
            prepared.clear();
            ++blocks;
        } else if (kind == u"batch" && text.contains(QStringLiteral("COMMIT"))) {
            inBlock = false;
        } else if (inBlock) {
            EXPECT_NE(kind, u"attention")
                << "request " << entry.value(QStringLiteral("request")).toInt();
            const QString proc = entry.value(QStringLiteral("proc")).toString();
            if (text.contains(QStringLiteral("INSERT INTO")) &&
                (proc == u"sp_prepare" || proc == u"sp_prepexec")) {
                EXPECT_EQ(++prepared[text], 1) << text.toStdString();
            }
        }
    }
    return blocks;
}

// The number of round trips the log counts on its (one) connection.
int requestCount(const QList<QJsonObject>& log) {
    int last = 0;
    for (const QJsonObject& entry : log)
        last = std::max(last, entry.value(QStringLiteral("request")).toInt());
    return last;
}

class SqlServerPath : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        copySampleTemplates(sourceDir() + QStringLiteral("/templates"), templateFolder());
    }

    QString templateFolder() const { return m_dir.filePath(QStringLiteral("templates")); }
    QString folder(const QString& name) const {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }

    std::unique_ptr<SqlServerStandIn> startServer(const QString& name, const QString& collation,
                                                  const QStringList& schema,
                                                  double delayMs = 0) const {
        auto server = std::make_unique<SqlServerStandIn>(
            folder(name), SqlServerStandIn::Options{collation, schema, delayMs});
        EXPECT_TRUE(server->started()) << server->failure().toStdString();
        return server;
    }

    // The embedded SQLite database made from the schema, and the settings that reach it.
    QString embeddedSettings(const QString& name, const QStringList& schema) const {
        const QString file = folder(name) + QStringLiteral("/branch.db");
        runStatements(file, schema);
        SettingsFile settings(settingsFilePath(folder(name)));
        settings.write(kSection, QStringLiteral("dbtype"), QStringLiteral("sqlite"));
        settings.write(kSection, QStringLiteral("dbname"), file);
        return settingsFilePath(folder(name));
    }

    RunOutcome runImport(const QString& settings, ImportKind kind, RecordingObserver& observer,
                         const QString& templates = QString(),
                         const std::shared_ptr<MemoryWorkbook>& workbook = nullptr) const {
        std::unique_ptr<Database> database;
        try {
            database = openBranchDatabase(settings);
        } catch (const Error& error) {
            ADD_FAILURE() << error.message().toStdString();
            return RunOutcome::Error;
        }
        RunContext context(*database, observer);
        context.templateFolder = templates.isEmpty() ? templateFolder() : templates;
        context.identity = {QStringLiteral("T01"), QStringLiteral("0101"),
                            QStringLiteral("青雁一店")};
        context.locale = QLocale(QLocale::Chinese, QLocale::China);
        context.now = [] { return QDateTime(QDate(2024, 2, 28), QTime(13, 4, 5, 123)); };
        if (workbook)
            context.openWorkbook = [workbook](const QString&) {
                return std::make_unique<MemoryWorkbook>(*workbook);
            };
        return kestrel::runImport(kind, context);
    }

    // A stored-value template of many rows (python3-xlwt); false when it cannot be written.
    bool writeLargeTemplate(const QString& folderPath, int rows) const {
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {sourceDir() + QStringLiteral("/bench/import/make_stored_value.py"),
                      folderPath + QStringLiteral("/青雁充值卡模板.xls"), QString::number(rows)});
        return python.waitForFinished(120000) && python.exitCode() == 0;
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(SqlServerPath, EveryImportWritesTheRowsOfTheEmbeddedPath) {
    struct Case {
        QString collation;
        bool nvarchar;
    };
    for (const Case& test : {Case{kLatin1, true}, Case{kChinese, false}, Case{kChinese, true}}) {
        const QString tag =
            test.collation + QString::fromUtf16(test.nvarchar ? u"-nvarchar" : u"-varchar");
        SCOPED_TRACE(tag.toStdString());
        const QStringList schema = branchStatements(test.nvarchar) + fillerStatements();
        const QString embedded = embeddedSettings(tag + QStringLiteral("-embedded"), schema);
        const std::unique_ptr<SqlServerStandIn> server = startServer(tag, test.collation, schema);
        ASSERT_TRUE(server->started());
        const QString served = server->writeSettings(folder(tag + QStringLiteral("-settings")));
        QStringList expected;
        for (const ImportEntry& entry : importRegistry()) {
            SCOPED_TRACE(entry.commandName.toStdString());
            server->clearLog();
            RecordingObserver embeddedRun;
            RecordingObserver servedRun;
            const RunOutcome outcome = runImport(embedded, entry.kind, embeddedRun);
            EXPECT_EQ(runImport(served, entry.kind, servedRun), outcome)
                << servedRun.errors.join(u'\n').toStdString();
            EXPECT_EQ(servedRun.messages, embeddedRun.messages);
            EXPECT_EQ(servedRun.errors, embeddedRun.errors);
            expected =
                importedContents(QFileInfo(embedded).dir().filePath(QStringLiteral("branch.db")));
            const QStringList actual = importedContents(server->databaseFile());
            EXPECT_TRUE(expected == actual) << firstDifferences(expected, actual);
            EXPECT_GE(expectWholeBlocks(server->log()), 1);
        }
        EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), hasChinese));
    }
}

TEST_F(SqlServerPath, TenThousandRowsTakeFewRequests) {
    const QString templates = folder(QStringLiteral("large"));
    if (!writeLargeTemplate(templates, 10000))
        GTEST_SKIP() << "python3-xlwt is needed to write the large template";
    const std::unique_ptr<SqlServerStandIn> server = startServer(
        QStringLiteral("server"), kChinese, branchStatements(false) + fillerStatements());
    ASSERT_TRUE(server->started());
    RecordingObserver observer;
    EXPECT_EQ(runImport(server->writeSettings(folder(QStringLiteral("settings"))),
                        ImportKind::StoredValue, observer, templates),
              RunOutcome::Completed)
        << observer.errors.join(u'\n').toStdString();
    const QList<QJsonObject> log = server->log();
    EXPECT_LE(requestCount(log), 10000 / 20);
    EXPECT_EQ(expectWholeBlocks(log), 1);
    onFile(server->databaseFile(), [](QSqlDatabase& connection) {
        QSqlQuery members(QStringLiteral("SELECT COUNT(*) FROM HY_Member WHERE MemberID LIKE 'B%'"),
                          connection);
        EXPECT_TRUE(members.next());
        EXPECT_EQ(members.value(0).toInt(), 10000);
    });
}

// A row the server refuses half way, and kestrel-import killed in the middle of the import
// pass: the server's tables afterwards are exactly as before the block.
TEST_F(SqlServerPath, AFailedOrKilledBlockLeavesTheTablesAsBefore) {
    const QString templates = folder(QStringLiteral("templates-large"));
    if (!writeLargeTemplate(templates, 1200))
        GTEST_SKIP() << "python3-xlwt is needed to write the large template";
    enum class Fault { RefusedRow, Killed };
    for (const Fault fault : {Fault::RefusedRow, Fault::Killed}) {
        const bool killed = fault == Fault::Killed;
        SCOPED_TRACE(killed ? "killed" : "refused row");
        QStringList schema = branchStatements(false);
        if (!killed)
            schema.append(QStringLiteral(
                "CREATE TRIGGER refuse_row BEFORE INSERT ON HY_Member WHEN NEW.MemberID = "
                "'B000000900' BEGIN SELECT RAISE(ABORT, 'row B000000900 refused'); END"));
        const std::unique_ptr<SqlServerStandIn> server =
            startServer(killed ? QStringLiteral("killed") : QStringLiteral("refused"), kChinese,
                        schema, killed ? 2 : 0);
        ASSERT_TRUE(server->started());
        const QStringList before = contents(server->databaseFile());
        server->writeSettings(templates);
        if (killed) {
            QProcess import;
            import.start(binDir() + QStringLiteral("/kestrel-import"),
                         {QStringLiteral("--dir"), templates, QStringLiteral("stored-value")});
            ASSERT_TRUE(import.waitForStarted());
            EXPECT_TRUE(server->waitForLog(
                [](const QJsonObject& entry) {
                    return entry.value(QStringLiteral("proc")).toString() == u"sp_execute" &&
                           entry.value(QStringLiteral("trancount")).toInt() == 1;
                },
                60000));
            import.kill();
            import.waitForFinished();
            EXPECT_TRUE(server->waitForLog(
                [](const QJsonObject& entry) {
                    return entry.value(QStringLiteral("kind")).toString() == u"disconnect";
                },
                30000));
        } else {
            RecordingObserver observer;
            EXPECT_EQ(runImport(settingsFilePath(templates), ImportKind::StoredValue, observer,
                                templates),
                      RunOutcome::Error);
            EXPECT_TRUE(observer.errors.join(u'\n').contains(QStringLiteral("B000000900")))
                << observer.errors.join(u'\n').toStdString();
        }
        const QStringList after = contents(server->databaseFile());
        EXPECT_TRUE(before == after) << firstDifferences(before, after);
    }
}

// A text whose characters a Chinese_PRC varchar column's code page (936) lacks, and dates a
// datetime or smalldatetime column cannot hold: the row's message, and nothing written.
TEST_F(SqlServerPath, ValuesAColumnCannotHoldStopTheImportBeforeAnythingIsWritten) {
    struct Case {
        int column;
        QString value;
        QString message;
        QString endDateType; // the type of HY_Member.EndDate
    };
    const QList<Case> cases = {
        {12, QStringLiteral("王\u3400"),
         QStringLiteral("Row 3: column MemberName cannot hold the text \"王\u3400\": code page "
                        "936 lacks some of its characters"),
         QStringLiteral("datetime")},
        {8, QStringLiteral("1700-01-01"), QStringLiteral("第3行的有效日期请重输!"),
         QStringLiteral("datetime")},
        {8, QStringLiteral("2079-06-07"), QStringLiteral("第3行的有效日期请重输!"),
         QStringLiteral("smalldatetime")},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.value.toStdString());
        QStringList schema = branchStatements(false);
        schema.replaceInStrings(QStringLiteral("EndDate datetime"),
                                QStringLiteral("EndDate ") + test.endDateType);
        const std::unique_ptr<SqlServerStandIn> server =
            startServer(QStringLiteral("limits-") + QString::number(test.column) + test.endDateType,
                        kChinese, schema);
        ASSERT_TRUE(server->started());
        const QStringList before = contents(server->databaseFile());
        auto workbook = std::make_shared<MemoryWorkbook>();
        workbook->appendTextRow(1, storedValueHeader());
        workbook->appendTextRow(1, storedValueRow(QStringLiteral("C001")));
        QStringList bad = storedValueRow(QStringLiteral("C002"));
        bad[test.column - 1] = test.value;
        workbook->appendTextRow(1, bad);
        RecordingObserver observer;
        EXPECT_EQ(runImport(server->writeSettings(folder(QStringLiteral("limits-settings"))),
                            ImportKind::StoredValue, observer, QString(), workbook),
                  RunOutcome::RowCheckFailed);
        EXPECT_EQ(observer.messages, QStringList{test.message});
        const QStringList after = contents(server->databaseFile());
        EXPECT_TRUE(before == after) << firstDifferences(before, after);
    }
}

#ifndef Q_OS_WIN
// Integrated login needs Kerberos outside Windows; without a ticket the failure says what to do.
TEST_F(SqlServerPath, IntegratedLoginWithoutKerberosSaysHowToLogInInstead) {
    const std::unique_ptr<SqlServerStandIn> server =
        startServer(QStringLiteral("integrated"), kChinese, branchStatements(false));
    ASSERT_TRUE(server->started());
    try {
        openBranchDatabase(
            server->writeSettings(folder(QStringLiteral("nt")), QStringLiteral("NT")));
        ADD_FAILURE() << "integrated login without a Kerberos ticket connected";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("Kerberos ticket")));
        EXPECT_TRUE(error.message().contains(QStringLiteral("dbUserID")));
    }
}
#endif

} // namespace
} // namespace kestrel::test
