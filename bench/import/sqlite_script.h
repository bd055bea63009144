#pragma once

// Runs an SQL script file (schema/branch.sql and the like) on an SQLite connection, statement
// by statement. Shared by the import benchmark and the command-line tool's tests.

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace kestrel::sqlscript {

// Splits a script at the semicolons that end statements: semicolons inside quotes, comments
// and trigger bodies (CREATE TRIGGER ... BEGIN ...; END;) do not end one.
inline QStringList splitStatements(const QString& script) {
    QStringList statements;
    QString current;
    QString words; // the statement's words so far, upper case, comments left out
    const auto lastWordIs = [&words](const QString& word) {
        return words.trimmed().endsWith(word) &&
               (words.trimmed().size() == word.size() ||
                !words.trimmed().at(words.trimmed().size() - word.size() - 1).isLetterOrNumber());
    };
    const qsizetype length = script.size();
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = script.at(i);
        const QChar next = i + 1 < length ? script.at(i + 1) : QChar();
        if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            while (i < length && script.at(i) != QLatin1Char('\n'))
                ++i;
            current += QLatin1Char('\n');
            words += QLatin1Char(' ');
            continue;
        }
        if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const qsizetype end = script.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? length : end + 1;
            current += QLatin1Char(' ');
            words += QLatin1Char(' ');
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') ||
            c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            qsizetype end = script.indexOf(close, i + 1);
            if (end < 0)
                end = length - 1;
            current += script.mid(i, end - i + 1);
            words += QLatin1String(" x ");
            i = end;
            continue;
        }
        if (c == QLatin1Char(';')) {
            const QString head = words.simplified();
            const bool trigger =
                head.startsWith(QLatin1String("CREATE")) &&
                head.section(QLatin1Char(' '), 0, 3).contains(QLatin1String("TRIGGER"));
            if (trigger && !lastWordIs(QLatin1String("END"))) {
                current += c;
                words += QLatin1Char(' ');
                continue;
            }
            if (!current.trimmed().isEmpty())
                statements.append(current.trimmed());
            current.clear();
            words.clear();
            continue;
        }
        current += c;
        words += c.toUpper();
    }
    if (!current.trimmed().isEmpty())
        statements.append(current.trimmed());
    return statements;
}

inline void runStatements(QSqlDatabase& connection, const QStringList& statements) {
    for (const QString& statement : statements) {
        QSqlQuery query(connection);
        if (!query.exec(statement))
            throw std::runtime_error((QStringLiteral("SQL script statement failed: ") +
                                      query.lastError().text() + QStringLiteral("\n") + statement)
                                         .toStdString());
    }
}

inline void runFile(QSqlDatabase& connection, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error((QStringLiteral("cannot read ") + path).toStdString());
    runStatements(connection, splitStatements(QString::fromUtf8(file.readAll())));
}

} // namespace kestrel::sqlscript
