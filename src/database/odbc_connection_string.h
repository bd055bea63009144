#pragma once

#include <QMap>
#include <QString>
#include <optional>

namespace kestrel {

// Quotes a value for the OLE DB form when it would otherwise break the string (a ';', a quote,
// surrounding blanks): double quotes, inner double quotes doubled. Other values stay as they are.
QString oleDbValue(const QString& value);

// The keys of an OLE DB connection string, lower-cased with inner blanks collapsed, and their
// values with quoting removed. A later key replaces an earlier one. Throws DatabaseError on a
// malformed string.
QMap<QString, QString> parseOleDbConnectionString(const QString& connectionString);

// What an OLE DB string for SQL Server selects.
struct SqlServerTarget {
    QString dataSource; // "(local)", host, host\instance, host,port
    QString database;
    QString userId;
    QString password;
    bool integratedSecurity = false;

    static SqlServerTarget fromOleDb(const QString& connectionString);
};

// Where the data source points: host, and an instance name or a port.
struct ServerAddress {
    QString host;
    QString instance;
    QString port;

    static ServerAddress parse(const QString& dataSource);
};

// How a driver reads a braced value: the ODBC rule ('}' doubled inside), or FreeTDS's (up to
// the first "};", nothing doubled; a value holding "};" cannot be given at all).
enum class BraceStyle { Odbc, FreeTds };

// Braces a value for an ODBC string when it would otherwise break it. Throws DatabaseError
// when the driver cannot be given the value.
QString odbcValue(const QString& value, BraceStyle style = BraceStyle::Odbc);

// The ODBC driver's connection string. FreeTDS (any driver whose name mentions "tds") gets the
// server split into host, instance and port, TDS 7.1 (SQL Server 2000 and later) and UTF-8 as
// client character set; Microsoft's drivers get the data source as it stands.
QString odbcConnectionString(const SqlServerTarget& target, const QString& driver);

// The value of a key of an ODBC connection string ("Database" in "Driver=X;DATABASE={a;b}"
// gives "a;b"): keys match without regard to letter case, a braced value has '}' doubled inside.
// Nothing when the key is absent.
std::optional<QString> odbcKeyValue(const QString& connectionString, const QString& key);

// "FreeTDS" on Linux and macOS, "SQL Server" on Windows.
QString defaultOdbcDriver();

} // namespace kestrel
