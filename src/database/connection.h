#pragma once

#include "database/database.h"
#include "database/odbc_dbms.h"

#include <QString>
#include <memory>

namespace kestrel {

// The settings a connection attempt reads afresh from the settings file.
struct ConnectionSettings {
    QString password;    // "dbPassword"
    QString login;       // "dbUserID"
    QString server;      // "dbserver"
    QString database;    // "dbname"
    QString linkMode;    // "LinkMode": exactly "NT" selects integrated login
    QString dbType;      // "dbtype": "sqlite" selects the embedded database
    QString odbcDriver;  // "odbcdriver": the ODBC driver for SQL Server
    QString odbcConnect; // "odbcconnect": a whole ODBC connection string, used as given

    static ConnectionSettings load(const QString& settingsPath);
};

// The OLE DB form of the connection string, built from the settings.
QString buildConnectionString(const ConnectionSettings& settings);

// Opens the branch database the settings file names: the ODBC connection string of
// "odbcconnect" when it is not empty; else the embedded SQLite file ("dbname" relative to the
// settings file's folder) with "dbtype=sqlite"; else SQL Server through ODBC with the string
// built from the other keys. Throws DatabaseError carrying the driver's own message. Each call
// uses a connection name of its own.
std::unique_ptr<Database> openBranchDatabase(const QString& settingsPath);

// Opens an ODBC connection string through QODBC. The dialect follows the DBMS the driver
// reports (SQL Server or SQLite); any other DBMS is refused with its name.
std::unique_ptr<Database> openOdbcDatabase(const QString& connectionString,
                                           const DbmsNameProbe& dbmsName = odbcDbmsName);

} // namespace kestrel
