#pragma once

#include "database/database.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace kestrel {

// The ODBC connection handle (SQLHDBC) of an open QODBC connection, for calls Qt does not make.
// Throws DatabaseError for any other connection.
void* odbcConnectionHandle(const QSqlDatabase& connection);

// Which DBMS an open ODBC connection reaches, as its driver reports it (SQL_DBMS_NAME).
// Throws DatabaseError when the driver cannot be asked.
QString odbcDbmsName(const QSqlDatabase& connection);

// The dialect for a DBMS name: SQL Server's for "Microsoft SQL Server" (any name naming
// SQL Server, as FreeTDS and Microsoft's drivers report it), SQLite's for "SQLite". Throws
// DatabaseError naming any other DBMS.
Dialect dialectForDbmsName(const QString& dbmsName);

// Checks that an ODBC connection to SQLite reached the database file the connection string
// names, and that the file holds a database. Throws DatabaseError when the driver received the
// path garbled (characters outside ASCII through a driver without wide-character functions) or
// opened an empty file (the SQLite ODBC driver creates a missing one).
void requireSqliteFileAsNamed(const QSqlDatabase& connection, const QString& connectionString);

// How the connection asks for the DBMS name; tests put a fake answer here.
using DbmsNameProbe = std::function<QString(const QSqlDatabase&)>;

} // namespace kestrel
