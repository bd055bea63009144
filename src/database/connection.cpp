#include "database/connection.h"

#include "database/odbc_connection_string.h"
#include "database/odbc_dbms.h"
#include "database/settings_file.h"
#include "text/errors.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QUrl>

namespace kestrel {

namespace {

const QString kSection = QStringLiteral("Kestrel");
constexpr int kLoginTimeoutSeconds = 30;

QString uniqueConnectionName() {
    static QAtomicInteger<int> counter;
    return QStringLiteral("kestrel-branch-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

bool isSqlite(const ConnectionSettings& settings) {
    return settings.dbType.trimmed().compare(QStringLiteral("sqlite"), Qt::CaseInsensitive) == 0;
}

QString sqliteFilePath(const QString& settingsPath, const QString& dbName) {
    if (dbName.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(settingsPath).dir().absoluteFilePath(dbName));
}

// Opens the named connection, chooses its dialect and wraps it; on any failure the
// registration is dropped and the layer's message thrown. No QSqlDatabase handle may outlive its
// scope here, so that removeDatabase finds the connection unused.
std::unique_ptr<Database>
openRegistered(const QString& name, const std::function<Dialect(const QSqlDatabase&)>& dialectOf) {
    QString failure;
    try {
        Dialect dialect = Dialect::Sqlite;
        {
            QSqlDatabase connection = QSqlDatabase::database(name, false);
            if (!connection.open())
                throw DatabaseError(connection.lastError().text());
            dialect = dialectOf(connection);
        }
        auto database = std::make_unique<Database>(QSqlDatabase::database(name, false), dialect);
        // A first statement proves the connection usable: an SQLite file that is not a
        // database only fails here.
        database->tableExists(QStringLiteral("Sys_System"));
        return database;
    } catch (const Error& error) {
        failure = error.message();
    }
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    throw DatabaseError(failure);
}

bool isNetworkPath(const QString& path) {
    return path.startsWith(QStringLiteral("//"));
}

// mode=rw: never create a new empty database, even if the file vanishes after the check.
// SQLite takes no host in a URI, so a network share is opened by its plain name.
QString sqliteDatabaseName(const QString& path) {
    if (isNetworkPath(path))
        return path;
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw");
}

std::unique_ptr<Database> openSqlite(const QString& settingsPath,
                                     const ConnectionSettings& settings) {
    const QString path = sqliteFilePath(settingsPath, settings.database);
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile())
        throw DatabaseError(
            QCoreApplication::translate("Database", "The database file '%1' does not exist")
                .arg(path));
    const QString name = uniqueConnectionName();
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        connection.setDatabaseName(sqliteDatabaseName(file.absoluteFilePath()));
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyWaitSeconds * 1000);
        if (!isNetworkPath(file.absoluteFilePath()))
            options += QStringLiteral(";QSQLITE_OPEN_URI");
        connection.setConnectOptions(options);
    }
    return openRegistered(name, [](const QSqlDatabase&) { return Dialect::Sqlite; });
}

// Outside Windows, FreeTDS logs in with the user's Windows identity through Kerberos only; its
// own failure message does not say what the operator can do.
DatabaseError integratedLoginFailure(const QString& message) {
    return DatabaseError(
        QCoreApplication::translate(
            "Database",
            "Integrated login (LinkMode=NT) failed. Outside Windows it needs a Kerberos ticket "
            "of the user running the tool (kinit) and the server registered under its name "
            "(an SPN such as MSSQLSvc/host.domain:1433, reached by that DNS name). To use a SQL "
            "Server login instead, remove LinkMode=NT from Kestrel.ini and set dbUserID and "
            "dbPassword. (%1)")
            .arg(message));
}

std::unique_ptr<Database> openSqlServer(const ConnectionSettings& settings) {
    const SqlServerTarget target = SqlServerTarget::fromOleDb(buildConnectionString(settings));
    try {
        return openOdbcDatabase(odbcConnectionString(target, settings.odbcDriver));
    } catch (const DatabaseError& error) {
#ifndef Q_OS_WIN
        if (target.integratedSecurity)
            throw integratedLoginFailure(error.message());
#endif
        throw;
    }
}

std::unique_ptr<Database> openOdbcAs(const QString& connectionString,
                                     const DbmsNameProbe& dbmsName) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        throw DatabaseError(
            QCoreApplication::translate("Database", "The Qt ODBC driver (QODBC) is not installed"));
    const QString name = uniqueConnectionName();
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        connection.setConnectOptions(
            QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(kLoginTimeoutSeconds));
        connection.setDatabaseName(connectionString);
    }
    return openRegistered(name, [&](const QSqlDatabase& connection) {
        const Dialect dialect = dialectForDbmsName(dbmsName(connection));
        if (dialect == Dialect::Sqlite)
            requireSqliteFileAsNamed(connection, connectionString);
        return dialect;
    });
}

} // namespace

ConnectionSettings ConnectionSettings::load(const QString& settingsPath) {
    const SettingsFile file(settingsPath);
    ConnectionSettings settings;
    settings.password = file.read(kSection, QStringLiteral("dbPassword"));
    settings.login = file.read(kSection, QStringLiteral("dbUserID"));
    settings.server = file.read(kSection, QStringLiteral("dbserver"));
    settings.database = file.read(kSection, QStringLiteral("dbname"));
    settings.linkMode = file.read(kSection, QStringLiteral("LinkMode"));
    settings.dbType = file.read(kSection, QStringLiteral("dbtype"));
    settings.odbcDriver = file.read(kSection, QStringLiteral("odbcdriver"));
    settings.odbcConnect = file.read(kSection, QStringLiteral("odbcconnect"));
    if (settings.odbcDriver.isEmpty())
        settings.odbcDriver = defaultOdbcDriver();
    return settings;
}

QString buildConnectionString(const ConnectionSettings& settings) {
    if (settings.linkMode == u"NT") {
        return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security "
                              "Info=False;User ID=sa;Initial Catalog=") +
               oleDbValue(settings.database) + QStringLiteral(";Data Source=") +
               oleDbValue(settings.server);
    }
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + oleDbValue(settings.password) +
           QStringLiteral(";Persist Security Info=True;User ID=") + oleDbValue(settings.login) +
           QStringLiteral(";Initial Catalog=") + oleDbValue(settings.database) +
           QStringLiteral(";Data Source=") + oleDbValue(settings.server);
}

std::unique_ptr<Database> openOdbcDatabase(const QString& connectionString,
                                           const DbmsNameProbe& dbmsName) {
    std::unique_ptr<Database> database = openOdbcAs(connectionString, dbmsName);
    if (database->dialect() != Dialect::Sqlite)
        return database;
    // The SQLite ODBC driver waits for a locked database as long as its own "Timeout" says (100
    // seconds by default): unless the string sets one, it is given ours.
    if (!odbcKeyValue(connectionString, QStringLiteral("Timeout"))) {
        database.reset();
        const QString separator =
            connectionString.trimmed().endsWith(u';') ? QString() : QStringLiteral(";");
        database = openOdbcAs(connectionString + separator +
                                  QStringLiteral("Timeout=%1").arg(kBusyWaitSeconds * 1000),
                              dbmsName);
    }
    // The driver waits once through SQLite's busy handler and then again in a retry of its own;
    // without the first, the wait is the driver's Timeout alone.
    database->execute(QStringLiteral("PRAGMA busy_timeout = 0"));
    return database;
}

std::unique_ptr<Database> openBranchDatabase(const QString& settingsPath) {
    const ConnectionSettings settings = ConnectionSettings::load(settingsPath);
    if (!settings.odbcConnect.trimmed().isEmpty())
        return openOdbcDatabase(settings.odbcConnect);
    if (isSqlite(settings))
        return openSqlite(settingsPath, settings);
    return openSqlServer(settings);
}

} // namespace kestrel
