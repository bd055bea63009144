#pragma once

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <gtest/gtest.h>
#include <string>

namespace kestrel::test {

// Runs statements (or a script file) on an SQLite file through a connection of its own.
template <typename Work> inline void onFile(const QString& path, Work work) {
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        connection.setDatabaseName(path);
        ASSERT_TRUE(connection.open()) << connection.lastError().text().toStdString();
        work(connection);
        connection.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Runs statements on an SQLite file (creating it), each of which must succeed.
inline void runStatements(const QString& path, const QStringList& statements) {
    onFile(path, [&statements](QSqlDatabase& connection) {
        for (const QString& statement : statements) {
            QSqlQuery query(connection);
            ASSERT_TRUE(query.exec(statement)) << query.lastError().text().toStdString();
        }
    });
}

// Copies the sample templates of templates/ into a folder.
inline void copySampleTemplates(const QString& sourceFolder, const QString& folder) {
    const QDir source(sourceFolder);
    QDir().mkpath(folder);
    for (const QString& name : source.entryList({QStringLiteral("*.xls")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(source.filePath(name), folder + u'/' + name));
}

// Every row of every table as "table #row: column=quote(value)", in row order. quote() shows
// SQLite's storage class: 'text', 12, 12.5, NULL. A table named in only keeps the rows its
// condition selects.
inline QStringList contents(const QString& path, const QHash<QString, QString>& only = {}) {
    QStringList lines;
    onFile(path, [&lines, &only](QSqlDatabase& connection) {
        QSqlQuery tables(connection);
        tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name "
                                   "NOT LIKE 'sqlite_%' ORDER BY name"));
        QStringList names;
        while (tables.next())
            names.append(tables.value(0).toString());
        for (const QString& table : names) {
            QSqlQuery columns(connection);
            columns.exec(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table));
            QStringList quoted;
            QStringList columnNames;
            while (columns.next()) {
                columnNames.append(columns.value(0).toString());
                quoted.append(QStringLiteral("quote(\"%1\")").arg(columnNames.back()));
            }
            QSqlQuery rows(connection);
            const QString where =
                only.contains(table) ? QStringLiteral(" WHERE ") + only.value(table) : QString();
            EXPECT_TRUE(rows.exec(QStringLiteral("SELECT %1 FROM \"%2\"%3 ORDER BY rowid")
                                      .arg(quoted.join(QLatin1Char(',')), table, where)))
                << rows.lastError().text().toStdString();
            for (int row = 1; rows.next(); ++row) {
                for (int column = 0; column < columnNames.size(); ++column)
                    lines.append(QStringLiteral("%1 #%2: %3=%4")
                                     .arg(table)
                                     .arg(row)
                                     .arg(columnNames.at(column), rows.value(column).toString()));
            }
        }
    });
    return lines;
}

// The lines that differ, at most a few, for a readable failure.
inline std::string firstDifferences(const QStringList& expected, const QStringList& actual) {
    std::string text;
    int shown = 0;
    for (qsizetype i = 0; i < std::max(expected.size(), actual.size()) && shown < 8; ++i) {
        const QString a = i < expected.size() ? expected.at(i) : QStringLiteral("(none)");
        const QString b = i < actual.size() ? actual.at(i) : QStringLiteral("(none)");
        if (a == b)
            continue;
        text += "\n  expected: " + a.toStdString() + "\n  actual:   " + b.toStdString();
        ++shown;
    }
    return text;
}

} // namespace kestrel::test
