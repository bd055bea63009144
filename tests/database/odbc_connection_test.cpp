// The database layer through a real ODBC driver (the SQLite ODBC driver under QODBC): the
// dialect chosen from the DBMS name, values written and read back, batches and transactions.
#include "odbc_test_support.h"
#include "sqlite_test_support.h"

#include "database/connection.h"
#include "database/db_sql_text.h"
#include "database/odbc_connection_string.h"
#include "database/odbc_dbms.h"
#include "database/settings_file.h"
#include "text/errors.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

using test::sqliteOdbcConnectString;

TEST(OdbcDialect, DbmsNamesChooseTheDialect) {
    EXPECT_EQ(dialectForDbmsName(QStringLiteral("Microsoft SQL Server")), Dialect::SqlServer);
    // Padded as a login acknowledgement may be.
    EXPECT_EQ(dialectForDbmsName(QStringLiteral("Microsoft SQL Server  ") + QChar(u'\0')),
              Dialect::SqlServer);
    EXPECT_EQ(dialectForDbmsName(QStringLiteral("SQLite")), Dialect::Sqlite);
    for (const QString& other : {QStringLiteral("PostgreSQL"), QString()}) {
        try {
            dialectForDbmsName(other);
            ADD_FAILURE() << "accepted " << other.toStdString();
        } catch (const DatabaseError& error) {
            EXPECT_TRUE(
                error.message().contains(other.isEmpty() ? QStringLiteral("(unnamed)") : other))
                << error.message().toStdString();
        }
    }
}

// The values of the first row of a select, read through QSQLITE: what is really stored.
QStringList storedValues(const QString& file, const QString& select) {
    QStringList values;
    const QString name = QStringLiteral("stored-values");
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        connection.setDatabaseName(file);
        EXPECT_TRUE(connection.open());
        QSqlQuery query(connection);
        EXPECT_TRUE(query.exec(select) && query.next());
        for (int i = 0; i < query.record().count(); ++i)
            values.append(query.value(i).toString());
    }
    QSqlDatabase::removeDatabase(name);
    return values;
}

class OdbcConnection : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::sqliteOdbcDriverAvailable())
            GTEST_SKIP() << "the SQLite3 ODBC driver is not registered";
        file = dir.filePath(QStringLiteral("branch.db"));
        test::createSqliteFile(file, {QStringLiteral("CREATE TABLE Sys_System (HotelID int)")});
    }

    std::unique_ptr<Database> open() { return openOdbcDatabase(sqliteOdbcConnectString(file)); }

    QTemporaryDir dir;
    QString file;
};

TEST_F(OdbcConnection, TheDriverReportsSqliteAndTheDialectFollows) {
    const auto database = open();
    EXPECT_EQ(odbcDbmsName(database->connection()), QStringLiteral("SQLite"));
    EXPECT_EQ(database->dialect(), Dialect::Sqlite);
}

// The answer faked below the layer that asks: any other DBMS is refused by name, and the
// refused connection is not left registered.
TEST_F(OdbcConnection, AnotherDbmsIsRefusedWithItsName) {
    const QStringList before = QSqlDatabase::connectionNames();
    try {
        openOdbcDatabase(sqliteOdbcConnectString(file),
                         [](const QSqlDatabase&) { return QStringLiteral("Oracle"); });
        ADD_FAILURE() << "an Oracle database was accepted";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("\"Oracle\"")))
            << error.message().toStdString();
    }
    EXPECT_EQ(QSqlDatabase::connectionNames(), before);
}

TEST_F(OdbcConnection, OdbcConnectKeyIsUsedAsGivenAndWinsOverTheOtherKeys) {
    const QString settings = settingsFilePath(dir.path());
    SettingsFile ini(settings);
    ini.write(QStringLiteral("Kestrel"), QStringLiteral("dbtype"), QStringLiteral("sqlite"));
    ini.write(QStringLiteral("Kestrel"), QStringLiteral("dbname"), QStringLiteral("missing.db"));
    ini.write(QStringLiteral("Kestrel"), QStringLiteral("odbcconnect"),
              sqliteOdbcConnectString(file));
    const auto database = openBranchDatabase(settings);
    EXPECT_EQ(database->connection().driverName(), QStringLiteral("QODBC"));
    EXPECT_EQ(database->dialect(), Dialect::Sqlite);
    // An empty key falls back to the others.
    ini.write(QStringLiteral("Kestrel"), QStringLiteral("odbcconnect"), QString());
    EXPECT_THROW(openBranchDatabase(settings), DatabaseError); // missing.db
}

TEST_F(OdbcConnection, TextsNumbersDatesAndEmptyTextsSurviveTheRoundTrip) {
    const auto database = open();
    database->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    database->execute(QStringLiteral(
        "Create Table Card (Code varchar(6) COLLATE NOCASE, Name varchar(4), Memo text, "
        "Money numeric(18,2), Times int, Born datetime, Active bit, Anything)"));
    Query query(*database);
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    query.append();
    query.setField(QStringLiteral("Code"), QStringLiteral("a1"));
    query.setField(QStringLiteral("Name"), QStringLiteral("张三丰太长"));
    query.setField(QStringLiteral("Memo"), QString());
    query.setField(QStringLiteral("Money"), QStringLiteral("1234.5"));
    query.setField(QStringLiteral("Times"), QStringLiteral("-7"));
    query.setField(QStringLiteral("Born"), QStringLiteral("1990-02-03 04:05:06"));
    query.setField(QStringLiteral("Active"), QStringLiteral("y"));
    query.setField(QStringLiteral("Anything"), QStringLiteral("青雁"));
    query.post();

    Query reread(*database);
    reread.setSql(QStringLiteral("Select * From Card"));
    reread.open();
    ASSERT_TRUE(reread.locate(QStringLiteral("Code"), QStringLiteral("A1")));
    EXPECT_EQ(reread.fieldText(QStringLiteral("Name")), QStringLiteral("张三丰太"));
    EXPECT_EQ(reread.fieldText(QStringLiteral("Memo")), QString());
    EXPECT_EQ(reread.fieldText(QStringLiteral("Money")), QStringLiteral("1234.5"));
    EXPECT_EQ(reread.fieldText(QStringLiteral("Times")), QStringLiteral("-7"));
    EXPECT_EQ(reread.fieldText(QStringLiteral("Born")), QStringLiteral("1990-02-03 04:05:06"));
    EXPECT_EQ(reread.fieldText(QStringLiteral("Active")), QStringLiteral("True"));
    EXPECT_EQ(reread.fieldText(QStringLiteral("Anything")), QStringLiteral("青雁"));

    // A Chinese literal in a statement's text, as clean-up statements hold them.
    database->execute(QStringLiteral("Update Card Set Memo = '导入' Where Code = 'a1'"));

    // Stored as the embedded path stores them: the empty text stays a text, not NULL.
    const QStringList stored = storedValues(
        file, QStringLiteral("Select typeof(Money), typeof(Times), Born, Active, Memo From Card"));
    EXPECT_EQ(stored, (QStringList{QStringLiteral("real"), QStringLiteral("integer"),
                                   QStringLiteral("1990-02-03 04:05:06"), QStringLiteral("1"),
                                   QStringLiteral("导入")}));
}

// The driver manager garbles characters outside ASCII in the string of a driver without wide
// functions: the file opened must be the one named, or the connection is refused.
TEST_F(OdbcConnection, ChinesePathOpensThatFileOrIsRefused) {
    const QString chinese = dir.filePath(QStringLiteral("分店.db"));
    test::createSqliteFile(chinese, {QStringLiteral("CREATE TABLE Sys_System (HotelID int)")});
    try {
        const auto database = openOdbcDatabase(sqliteOdbcConnectString(chinese));
        QSqlQuery list(database->connection());
        ASSERT_TRUE(list.exec(QStringLiteral("PRAGMA database_list")) && list.next());
        EXPECT_EQ(list.value(2).toString(), chinese);
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("cannot take the database path")))
            << error.message().toStdString();
    }
}

// The SQLite ODBC driver creates a file that does not exist: that is no branch database.
TEST_F(OdbcConnection, MissingFileIsRefusedNotImportedInto) {
    const QString missing = dir.filePath(QStringLiteral("typo.db"));
    try {
        openOdbcDatabase(sqliteOdbcConnectString(missing));
        ADD_FAILURE() << "a missing database file was opened";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("does not exist or is empty")))
            << error.message().toStdString();
    }
}

// Faults of the database itself are said plainly in front of the driver's own text, whichever
// driver (QSQLITE, the SQLite ODBC driver, SQL Server) reported them.
TEST(DatabaseFaults, BusyFullAndReadOnlyAreSaidSo) {
    const auto message = [](const char* driverText) {
        return sqlErrorMessage(QSqlError(QStringLiteral("driver"), QString::fromUtf8(driverText),
                                         QSqlError::StatementError));
    };
    EXPECT_EQ(message("[SQLite]database is locked (5)"),
              QStringLiteral("The database is busy: another program held a lock on it for "
                             "longer than the tool waits ([SQLite]database is locked (5))"));
    EXPECT_TRUE(message("[FreeTDS][SQL Server]Lock request time out period exceeded.")
                    .startsWith(QStringLiteral("The database is busy")));
    EXPECT_TRUE(message("disk I/O error").contains(QStringLiteral("the disk is full")));
    EXPECT_TRUE(message("attempt to write a readonly database")
                    .startsWith(QStringLiteral("The database is read-only")));
    EXPECT_EQ(message("UNIQUE constraint failed: T.K"),
              QStringLiteral("UNIQUE constraint failed: T.K"));
}

TEST(OdbcKeys, ValuesAreFoundPlainOrBraced) {
    const QString string =
        QStringLiteral("Driver={SQLite3};DATABASE={C:\\a;b}}c.db}; Timeout = 9 ;X=");
    EXPECT_EQ(odbcKeyValue(string, QStringLiteral("driver")), QStringLiteral("SQLite3"));
    EXPECT_EQ(odbcKeyValue(string, QStringLiteral("Database")), QStringLiteral("C:\\a;b}c.db"));
    EXPECT_EQ(odbcKeyValue(string, QStringLiteral("timeout")), QStringLiteral("9"));
    EXPECT_EQ(odbcKeyValue(string, QStringLiteral("X")), QString());
    EXPECT_FALSE(odbcKeyValue(string, QStringLiteral("UID")));
}

TEST_F(OdbcConnection, FailingLaterStatementOfABatchAndRollback) {
    const auto database = open();
    database->execute(QStringLiteral("Create Table T (K varchar(4) Not Null)"));
    database->execute(QStringLiteral("Update T Set K = 'x' Where 1 = 0")); // touches no row
    database->beginTransaction();
    database->execute(QStringLiteral("Insert Into T Values ('a')"));
    EXPECT_THROW(database->execute(QStringLiteral("Insert Into T Values ('b') Insert Into T "
                                                  "Values (NULL)")),
                 DatabaseError);
    database->rollback();
    QSqlQuery raw(database->connection());
    ASSERT_TRUE(raw.exec(QStringLiteral("Select count(*) From T")) && raw.next());
    EXPECT_EQ(raw.value(0).toInt(), 0);
}

} // namespace
} // namespace kestrel
