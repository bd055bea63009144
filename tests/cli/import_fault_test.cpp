// kestrel-import meeting faults of its machine and its database, on the embedded SQLite database
// and through the SQLite ODBC driver: killed mid-import, disk full, read-only file or folder,
// and another program holding a write transaction. Each must leave the database as it was
// before the block (or complete), and say what happened.
#include "cli_fixture.h"
#include "odbc_test_support.h"
#include "test_paths.h"

#include "database/settings_file.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace kestrel::test {
namespace {

const QString kTemplate = QStringLiteral("青雁充值卡模板.xls");
const QStringList kTouchedTables = {QStringLiteral("HY_Member"),
                                    QStringLiteral("HY_CardValueOpLog"),
                                    QStringLiteral("HY_CardType")};

enum class Path { Embedded, Odbc };

// A template of many rows, written once for the whole suite by the benchmark's generator.
QString largeTemplate() {
    static QTemporaryDir folder;
    static QString path;
    if (path.isEmpty()) {
        const QString target = folder.filePath(QStringLiteral("large.xls"));
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {sourceDir() + QStringLiteral("/bench/import/make_stored_value.py"), target,
                      QStringLiteral("30000")});
        if (python.waitForFinished(120000) && python.exitCode() == 0)
            path = target;
    }
    return path;
}

class ImportFault : public CliFixture, public ::testing::WithParamInterface<Path> {
protected:
    void SetUp() override {
#ifndef Q_OS_UNIX
        GTEST_SKIP() << "the faults are made with POSIX calls";
#endif
        CliFixture::SetUp();
        if (GetParam() == Path::Odbc) {
            if (!sqliteOdbcDriverAvailable())
                GTEST_SKIP() << "the SQLite3 ODBC driver is not registered";
            QFile::remove(dir() + QStringLiteral("/Kestrel.ini"));
            SettingsFile(settingsFilePath(dir()))
                .write(QStringLiteral("Kestrel"), QStringLiteral("odbcconnect"),
                       sqliteOdbcConnectString(databasePath()));
        }
    }

    void useLargeTemplate() {
        const QString large = largeTemplate();
        if (large.isEmpty())
            GTEST_SKIP() << "python3-xlwt is needed to write the large template";
        QFile::remove(templatePath(kTemplate));
        ASSERT_TRUE(QFile::copy(large, templatePath(kTemplate)));
    }

    // Row counts and a digest of every row of the tables an import touches, after SQLite's
    // integrity check (which also rolls back a journal left by a killed writer).
    QString snapshot() const {
        QString state = text(QStringLiteral("PRAGMA integrity_check"));
        for (const QString& table : kTouchedTables) {
            state += QStringLiteral(" %1:%2:%3")
                         .arg(table)
                         .arg(count(QStringLiteral("SELECT COUNT(*) FROM ") + table))
                         .arg(digest(table));
        }
        return state;
    }

    QString digest(const QString& table) const {
        const QString rows =
            text(QStringLiteral("SELECT group_concat(r, char(10)) FROM (SELECT %1 AS r FROM %2 "
                                "ORDER BY rowid)")
                     .arg(rowExpression(table), table));
        return QString::fromLatin1(
            QCryptographicHash::hash(rows.toUtf8(), QCryptographicHash::Sha1).toHex());
    }

    // Every column of a row quoted and joined, so that type and value both count.
    QString rowExpression(const QString& table) const {
        return text(QStringLiteral("SELECT group_concat('quote(\"' || name || '\")', "
                                   "'||'',''||') FROM pragma_table_info('%1')")
                        .arg(table));
    }

    QString program() const {
        return binDir() + QStringLiteral("/kestrel-import");
    }
    QStringList storedValue() const {
        return {QStringLiteral("--dir"), dir(), QStringLiteral("stored-value")};
    }
};

#ifdef Q_OS_UNIX

// Killed while the import pass writes: SQLite's journal undoes the block on the next open.
TEST_P(ImportFault, KilledMidImportLeavesTheDatabaseAsBefore) {
    useLargeTemplate();
    if (IsSkipped())
        return;
    const QString before = snapshot();
    const QString journal = databasePath() + QStringLiteral("-journal");
    QProcess process;
    process.start(program(), storedValue());
    ASSERT_TRUE(process.waitForStarted());
    // The journal appears with the block's first write; the kill comes once it has grown.
    while (process.state() == QProcess::Running && QFileInfo(journal).size() < 8192)
        QThread::usleep(200);
    const bool killedMidImport = process.state() == QProcess::Running;
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    process.waitForFinished();
    ASSERT_TRUE(killedMidImport) << "the import ended before it could be killed: "
                                 << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(text(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
}

// For the child: a file-size limit the import reaches part way, SIGXFSZ ignored so that the
// write fails with an error.
std::function<void()> diskFullPartWay(const QString& database) {
    const auto limit = static_cast<rlim_t>(QFileInfo(database).size() + 256 * 1024);
    return [limit] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size);
    };
}

TEST_P(ImportFault, DiskFullFailsTheBlockAndRollsItBack) {
    useLargeTemplate();
    if (IsSkipped())
        return;
    const QString before = snapshot();
    const ProcessResult result = runImport(storedValue(), diskFullPartWay(databasePath()));
    EXPECT_EQ(result.exitCode, 2) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("disk is full"))) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains(QStringLiteral("充值卡执行完毕!")));
    EXPECT_EQ(snapshot(), before);
}

// Root writes whatever the permission bits say: the tool then runs as nobody.
std::function<void()> withoutRoot() {
    if (::geteuid() != 0)
        return {};
    return [] {
        const gid_t group = 65534;
        ::setgroups(1, &group);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
    };
}

class ReadOnlyFault : public ImportFault {
protected:
    void SetUp() override {
        ImportFault::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // Every user may reach the folder and read what is in it.
        QFile::setPermissions(dir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
        for (const QString& name : {QStringLiteral("Kestrel.ini"), kTemplate})
            QFile::setPermissions(dir() + u'/' + name, QFile::ReadOwner | QFile::ReadOther);
    }
    void TearDown() override {
        QFile::setPermissions(dir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(databasePath(), QFile::ReadOwner | QFile::WriteOwner);
    }

    void expectRefusedUnchanged() {
        const QString before = snapshot();
        const ProcessResult result = runImport(storedValue(), withoutRoot());
        EXPECT_TRUE(result.exitCode == 2 || result.exitCode == 3)
            << result.exitCode << ": " << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("read-only"))) << result.err.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
};

// The tool's explanation of a fault is in the operator's language: Chinese under a Chinese
// locale, English under an English one.
TEST_P(ReadOnlyFault, TheExplanationFollowsTheLocale) {
    QFile::setPermissions(databasePath(), QFile::ReadOwner | QFile::ReadOther);
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("zh_CN.UTF-8"), QStringLiteral("数据库是只读的：")},
        {QStringLiteral("en_US.UTF-8"), QStringLiteral("The database is read-only: ")},
    };
    for (const auto& [locale, explanation] : cases) {
        const ProcessResult result = runImport(storedValue(), withoutRoot(), locale);
        EXPECT_TRUE(result.err.contains(explanation)) << result.err.toStdString();
    }
}

TEST_P(ReadOnlyFault, ReadOnlyDatabaseFileIsRefusedUnchanged) {
    QFile::setPermissions(databasePath(), QFile::ReadOwner | QFile::ReadOther);
    expectRefusedUnchanged();
}

TEST_P(ReadOnlyFault, ReadOnlyFolderIsRefusedUnchanged) {
    QFile::setPermissions(databasePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                              QFile::WriteOther);
    QFile::setPermissions(dir(),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    expectRefusedUnchanged();
}

// Another program's write transaction on the database, through a connection of the test's own.
class WriteLockHolder {
public:
    explicit WriteLockHolder(const QString& path) : m_name(QUuid::createUuid().toString()) {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        connection.setDatabaseName(path);
        EXPECT_TRUE(connection.open());
        QSqlQuery query(connection);
        EXPECT_TRUE(query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            << query.lastError().text().toStdString();
        EXPECT_TRUE(query.exec(QStringLiteral("UPDATE Sys_System SET HotelName = HotelName")));
    }
    ~WriteLockHolder() { release(); }

    void release() {
        if (m_name.isEmpty())
            return;
        {
            QSqlDatabase connection = QSqlDatabase::database(m_name);
            QSqlQuery(connection).exec(QStringLiteral("ROLLBACK"));
            connection.close();
        }
        QSqlDatabase::removeDatabase(m_name);
        m_name.clear();
    }

private:
    QString m_name;
};

TEST_P(ImportFault, BusyDatabaseFailsAfterTheBoundedWait) {
    const QString before = snapshot();
    WriteLockHolder holder(databasePath());
    QProcess process;
    process.start(program(), storedValue());
    // The tool waits kBusyWaitSeconds; the SQLite ODBC driver left to itself would wait 100.
    const bool ended = process.waitForFinished(60000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    holder.release();
    ASSERT_TRUE(ended) << "the busy wait was not bounded";
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 2) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("database is busy"))) << errors.toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_P(ImportFault, BusyAndDiskFullAreExplainedInChineseUnderAChineseLocale) {
    if (GetParam() == Path::Odbc)
        GTEST_SKIP() << "the language of the messages does not depend on the path";
    const QString chinese = QStringLiteral("zh_CN.UTF-8");
    {
        WriteLockHolder holder(databasePath());
        const ProcessResult busy = runImport(storedValue(), {}, chinese);
        EXPECT_TRUE(busy.err.contains(QStringLiteral("数据库正忙：另一个程序锁住数据库")))
            << busy.err.toStdString();
    }
    useLargeTemplate();
    if (IsSkipped())
        return;
    const ProcessResult full = runImport(storedValue(), diskFullPartWay(databasePath()), chinese);
    EXPECT_TRUE(full.err.contains(QStringLiteral("无法写入数据库：磁盘已满")))
        << full.err.toStdString();
}

TEST_P(ImportFault, ImportCompletesWhenTheOtherProgramEndsFirst) {
    const qint64 membersBefore = count(QStringLiteral("SELECT COUNT(*) FROM HY_Member"));
    WriteLockHolder holder(databasePath());
    QProcess process;
    process.start(program(), storedValue());
    ASSERT_TRUE(process.waitForStarted());
    QThread::msleep(500); // well inside the wait of kBusyWaitSeconds
    holder.release();
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardOutput())
                    .contains(QStringLiteral("充值卡执行完毕!")));
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM HY_Member")), membersBefore);
}

#endif

// The demo branch database through the SQLite ODBC driver, "odbcconnect" alone in the settings.
TEST_P(ImportFault, ImportCompletesOnTheDemoDatabase) {
    const ProcessResult result = runInDir({QStringLiteral("stored-value")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("充值卡执行完毕!"))) << result.out.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_Member")), 6);
}

const auto pathName = [](const ::testing::TestParamInfo<Path>& info) {
    return std::string(info.param == Path::Embedded ? "Embedded" : "Odbc");
};
INSTANTIATE_TEST_SUITE_P(Paths, ImportFault, ::testing::Values(Path::Embedded, Path::Odbc),
                         pathName);
#ifdef Q_OS_UNIX
INSTANTIATE_TEST_SUITE_P(Paths, ReadOnlyFault, ::testing::Values(Path::Embedded, Path::Odbc),
                         pathName);
#endif

} // namespace
} // namespace kestrel::test
