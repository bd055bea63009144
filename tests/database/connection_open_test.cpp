#include "database/connection.h"
#include "sqlite_test_support.h"
#include "text/errors.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

using test::createSqliteFile;
using test::writeSqliteSettings;

class OpenBranchDatabase : public ::testing::Test {
protected:
    QTemporaryDir dir;
};

TEST_F(OpenBranchDatabase, SqliteFileIsFoundRelativeToTheSettingsFolder) {
    QDir(dir.path()).mkdir(QStringLiteral("data"));
    createSqliteFile(dir.filePath(QStringLiteral("data/分店 #1 %41.db")),
                     {QStringLiteral("CREATE TABLE Sys_System (HotelID int)")});
    const QString settings = writeSqliteSettings(dir.path(), QStringLiteral("data/分店 #1 %41.db"));
    const auto first = openBranchDatabase(settings);
    const auto second = openBranchDatabase(settings); // a connection name of its own
    EXPECT_EQ(first->dialect(), Dialect::Sqlite);
    EXPECT_TRUE(first->tableExists(QStringLiteral("sys_system")));
    EXPECT_TRUE(second->tableExists(QStringLiteral("Sys_System")));
    EXPECT_NE(first->connection().connectionName(), second->connection().connectionName());
}

TEST_F(OpenBranchDatabase, MissingSqliteFileFailsWithoutCreatingOne) {
    const QString settings = writeSqliteSettings(dir.path(), QStringLiteral("missing.db"));
    EXPECT_THROW(openBranchDatabase(settings), DatabaseError);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing.db"))));
    const QString empty = writeSqliteSettings(dir.path(), QString());
    EXPECT_THROW(openBranchDatabase(empty), DatabaseError);
}

TEST_F(OpenBranchDatabase, FileThatIsNotADatabaseFails) {
    QFile file(dir.filePath(QStringLiteral("notes.db")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    const QString settings = writeSqliteSettings(dir.path(), QStringLiteral("notes.db"));
    EXPECT_THROW(openBranchDatabase(settings), DatabaseError);
}

// SQL Server through the registered ODBC driver, against a port nobody listens on: the driver
// must be found and the failure must be the connection's own.
TEST_F(OpenBranchDatabase, SqlServerOnAClosedPortFailsWithAConnectionError) {
    const QString settings = settingsFilePath(dir.path());
    SettingsFile file(settings);
    file.write(QStringLiteral("Kestrel"), QStringLiteral("dbserver"),
               QStringLiteral("127.0.0.1,1"));
    file.write(QStringLiteral("Kestrel"), QStringLiteral("dbname"), QStringLiteral("branch"));
    file.write(QStringLiteral("Kestrel"), QStringLiteral("dbuserid"), QStringLiteral("sa"));
    file.write(QStringLiteral("Kestrel"), QStringLiteral("dbpassword"), QStringLiteral("p;w"));
    QElapsedTimer elapsed;
    elapsed.start();
    QString message;
    try {
        openBranchDatabase(settings);
        ADD_FAILURE() << "connected to a closed port";
    } catch (const DatabaseError& error) {
        message = error.message();
    }
    RecordProperty("failed_after_ms", static_cast<int>(elapsed.elapsed()));
    std::printf("closed port failed after %lld ms: %s\n", static_cast<long long>(elapsed.elapsed()),
                qPrintable(message));
    EXPECT_FALSE(message.isEmpty());
#ifndef Q_OS_WIN
    EXPECT_TRUE(message.contains(QStringLiteral("[FreeTDS]"))) << qPrintable(message);
#endif
    EXPECT_FALSE(message.contains(QStringLiteral("not found"), Qt::CaseInsensitive))
        << qPrintable(message);
    EXPECT_FALSE(message.contains(QStringLiteral("Can't open lib"))) << qPrintable(message);
    EXPECT_FALSE(message.contains(QStringLiteral("not installed"))) << qPrintable(message);
}

} // namespace
} // namespace kestrel
