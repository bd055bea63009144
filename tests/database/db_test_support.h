#pragma once

#include "database/database.h"

#include <QFile>
#include <QSqlDatabase>
#include <QStringList>
#include <QUuid>
#include <memory>

namespace kestrel::test {

// A SQLite database (in memory unless a file is named) wrapped in a Database, removed again
// when the test ends.
class SqliteFixture {
public:
    explicit SqliteFixture(const QString& file = QStringLiteral(":memory:"))
        : m_name(QUuid::createUuid().toString()) {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        connection.setDatabaseName(file);
        connection.open();
        m_database = std::make_unique<Database>(connection, Dialect::Sqlite);
    }
    ~SqliteFixture() {
        m_database.reset();
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    SqliteFixture(const SqliteFixture&) = delete;
    SqliteFixture& operator=(const SqliteFixture&) = delete;

    Database& db() { return *m_database; }

private:
    QString m_name;
    std::unique_ptr<Database> m_database;
};

// The statements of a SQL script: each ends with a semicolon at the end of a line.
inline QStringList scriptStatements(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList statements;
    QString current;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        current += line + QLatin1Char('\n');
        if (line.trimmed().endsWith(QLatin1Char(';'))) {
            statements.append(current.trimmed().chopped(1));
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements.append(current.trimmed());
    return statements;
}

} // namespace kestrel::test
