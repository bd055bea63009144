#include "database/odbc_dbms.h"

#include "database/odbc_connection_string.h"
#include "text/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

#include <QSqlDriver>
#include <QVariant>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace kestrel {

namespace {

QVariant firstValue(const QSqlDatabase& connection, const QString& statement, int column) {
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    QVariant value;
    if (query.exec(statement) && query.next())
        value = query.value(column);
    query.finish();
    return value;
}

bool isAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

} // namespace

// QODBC hands out its connection handle (an SQLHDBC) as a QVariant holding a void*.
void* odbcConnectionHandle(const QSqlDatabase& connection) {
    const QVariant handle = connection.driver() ? connection.driver()->handle() : QVariant();
    if (connection.driverName() != u"QODBC" || !handle.isValid() ||
        handle.metaType().sizeOf() != sizeof(SQLHDBC))
        throw DatabaseError(
            QCoreApplication::translate("Database", "The connection is not an ODBC connection"));
    const SQLHDBC hdbc = *static_cast<const SQLHDBC*>(handle.constData());
    if (!hdbc)
        throw DatabaseError(
            QCoreApplication::translate("Database", "The ODBC connection is not open"));
    return hdbc;
}

QString odbcDbmsName(const QSqlDatabase& connection) {
    const SQLHDBC handle = odbcConnectionHandle(connection);
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN result =
        SQLGetInfoW(handle, SQL_DBMS_NAME, name, static_cast<SQLSMALLINT>(sizeof name), &length);
    if (!SQL_SUCCEEDED(result))
        throw DatabaseError(QCoreApplication::translate(
            "Database", "The ODBC driver does not say which DBMS it reaches"));
    const qsizetype units =
        std::min<qsizetype>(length / static_cast<qsizetype>(sizeof(SQLWCHAR)), 255);
    if constexpr (sizeof(SQLWCHAR) == sizeof(char16_t))
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(name), units);
    else
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(name), units);
}

void requireSqliteFileAsNamed(const QSqlDatabase& connection, const QString& connectionString) {
    const QString opened =
        firstValue(connection, QStringLiteral("PRAGMA database_list"), 2).toString();
    const QString named =
        odbcKeyValue(connectionString, QStringLiteral("Database")).value_or(QString());
    // The driver manager converts the string of a driver without wide functions before the
    // connection has a character set; only then can the path arrive changed.
    if (!isAscii(named) &&
        QDir::cleanPath(opened) != QDir::cleanPath(QFileInfo(named).absoluteFilePath()))
        throw DatabaseError(
            QCoreApplication::translate(
                "Database", "The ODBC driver cannot take the database path '%1' (it opened '%2' "
                            "instead): name the file by a path of ASCII characters or use a DSN")
                .arg(named, opened));
    if (firstValue(connection, QStringLiteral("PRAGMA page_count"), 0).toLongLong() == 0)
        throw DatabaseError(QCoreApplication::translate(
                                "Database", "The database file '%1' does not exist or is empty")
                                .arg(opened));
}

Dialect dialectForDbmsName(const QString& dbmsName) {
    // Servers pad the product name of their login acknowledgement with blanks or NULs.
    QString name = dbmsName;
    name.remove(QChar(u'\0'));
    name = name.trimmed();
    if (name.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive))
        return Dialect::SqlServer;
    if (name.startsWith(QStringLiteral("SQLite"), Qt::CaseInsensitive))
        return Dialect::Sqlite;
    throw DatabaseError(
        QCoreApplication::translate(
            "Database", "The ODBC data source is a \"%1\" database; Kestrel works with Microsoft "
                        "SQL Server and SQLite only")
            .arg(name.isEmpty() ? QCoreApplication::translate("Database", "(unnamed)") : name));
}

} // namespace kestrel
