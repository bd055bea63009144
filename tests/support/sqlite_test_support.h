#pragma once

#include "database/settings_file.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>

namespace kestrel::test {

// Creates an SQLite file by running the statements on it.
inline void createSqliteFile(const QString& path, const QStringList& statements) {
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        connection.setDatabaseName(path);
        connection.open();
        for (const QString& statement : statements)
            QSqlQuery(connection).exec(statement);
        connection.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// A settings file in folder that selects the SQLite file dbName.
inline QString writeSqliteSettings(const QString& folder, const QString& dbName) {
    const QString path = settingsFilePath(folder);
    SettingsFile file(path);
    file.write(QStringLiteral("Kestrel"), QStringLiteral("dbtype"), QStringLiteral("sqlite"));
    file.write(QStringLiteral("Kestrel"), QStringLiteral("dbname"), dbName);
    return path;
}

} // namespace kestrel::test
