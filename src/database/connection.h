#pragma once

#include "database/database.h"

#include <QString>
#include <memory>

namespace kestrel {

// The settings a connection attempt reads afresh from the settings file.
struct ConnectionSettings {
    QString password;   // "dbPassword"
    QString login;      // "dbUserID"
    QString server;     // "dbserver"
    QString database;   // "dbname"
    QString linkMode;   // "LinkMode": exactly "NT" selects integrated login
    QString dbType;     // "dbtype": "sqlite" selects the embedded database
    QString odbcDriver; // "odbcdriver": the ODBC driver for SQL Server

    static ConnectionSettings load(const QString& settingsPath);
};

// The OLE DB form of the connection string, built from the settings.
QString buildConnectionString(const ConnectionSettings& settings);

// Opens the branch database the settings file names: SQL Server through ODBC, or the embedded
// SQLite file ("dbname" relative to the settings file's folder). Throws DatabaseError carrying
// the driver's own message. Each call uses a connection name of its own.
std::unique_ptr<Database> openBranchDatabase(const QString& settingsPath);

} // namespace kestrel
