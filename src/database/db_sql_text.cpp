#include "database/db_sql_text.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace kestrel {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

QChar closingQuote(QChar opening) {
    if (opening == QLatin1Char('['))
        return QLatin1Char(']');
    return opening;
}

bool isQuote(QChar c) {
    return c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[') ||
           c == QLatin1Char('`');
}

// Walks a text outside quoted parts, calling visit(position, depth) for each character that is
// not quoted; depth counts open parentheses.
template <typename Visit> void walkUnquoted(const QString& text, Visit visit) {
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isQuote(c)) {
            const QChar close = closingQuote(c);
            ++i;
            while (i < text.size()) {
                if (text.at(i) == close) {
                    if (i + 1 < text.size() && text.at(i + 1) == close &&
                        close != QLatin1Char(']')) {
                        i += 2; // doubled quote inside a literal
                        continue;
                    }
                    break;
                }
                ++i;
            }
            continue;
        }
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (!visit(i, depth))
            return;
    }
}

QString wordAt(const QString& text, qsizetype position) {
    qsizetype end = position;
    while (end < text.size() && isWordChar(text.at(end)))
        ++end;
    return text.mid(position, end - position).toUpper();
}

QString previousWord(const QString& text, qsizetype position) {
    qsizetype end = position;
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    qsizetype begin = end;
    while (begin > 0 && isWordChar(text.at(begin - 1)))
        --begin;
    return text.mid(begin, end - begin).toUpper();
}

bool startsStatement(const QString& text, qsizetype position) {
    const QString word = wordAt(text, position);
    if (word != QLatin1String("UPDATE") && word != QLatin1String("INSERT") &&
        word != QLatin1String("DELETE"))
        return false;
    if (QStringView(text).left(position).trimmed().isEmpty())
        return false; // the batch's first statement
    // "ON CONFLICT DO UPDATE", "ON DELETE CASCADE", "INSTEAD OF DELETE" belong to the
    // statement around them.
    static const QStringList joined = {QStringLiteral("DO"),     QStringLiteral("OF"),
                                       QStringLiteral("ON"),     QStringLiteral("FOR"),
                                       QStringLiteral("BEFORE"), QStringLiteral("AFTER")};
    return !joined.contains(previousWord(text, position));
}

bool isTriggerDefinition(const QString& text) {
    static const QRegularExpression trigger(
        QStringLiteral("^\\s*CREATE\\s+(TEMP\\s+|TEMPORARY\\s+)?TRIGGER\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return trigger.match(text).hasMatch();
}

} // namespace

QStringList splitBatch(const QString& text) {
    if (isTriggerDefinition(text))
        return {text.trimmed()};
    QList<qsizetype> cuts; // position where a new statement starts; ';' itself is dropped
    QList<qsizetype> semicolons;
    qsizetype statementStart = 0;
    bool openCommonTable = false; // "WITH ... INSERT": the INSERT belongs to the WITH
    walkUnquoted(text, [&](qsizetype i, int depth) {
        const QChar c = text.at(i);
        if (depth != 0 || !(c == QLatin1Char(';') || isWordChar(c)))
            return true;
        if (c == QLatin1Char(';')) {
            semicolons.append(i);
            cuts.append(i);
            statementStart = i + 1;
            return true;
        }
        if (i > 0 && isWordChar(text.at(i - 1)))
            return true;
        if (QStringView(text).mid(statementStart, i - statementStart).trimmed().isEmpty()) {
            openCommonTable = wordAt(text, i) == QLatin1String("WITH");
            return true;
        }
        if (startsStatement(text, i)) {
            if (openCommonTable) {
                openCommonTable = false;
                return true;
            }
            cuts.append(i);
            statementStart = i;
        }
        return true;
    });
    QStringList statements;
    qsizetype begin = 0;
    for (const qsizetype cut : cuts) {
        statements.append(text.mid(begin, cut - begin));
        begin = semicolons.contains(cut) ? cut + 1 : cut;
    }
    statements.append(text.mid(begin));
    QStringList result;
    for (const QString& statement : statements) {
        if (!statement.trimmed().isEmpty())
            result.append(statement);
    }
    return result;
}

QString selectedTable(const QString& statement) {
    QString table;
    walkUnquoted(statement, [&](qsizetype i, int depth) {
        if (depth != 0 || (i > 0 && isWordChar(statement.at(i - 1))) ||
            wordAt(statement, i) != QLatin1String("FROM"))
            return true;
        static const QRegularExpression name(
            QStringLiteral("\\G\\s+(\\[[^\\]]+\\]|\"[^\"]+\"|[\\w.]+)"));
        const QRegularExpressionMatch match = name.match(statement, i + 4);
        if (match.hasMatch()) {
            table = match.captured(1);
            if (table.startsWith(QLatin1Char('[')) || table.startsWith(QLatin1Char('"')))
                table = table.mid(1, table.size() - 2);
        }
        return false;
    });
    return table;
}

bool hasLimitClause(const QString& statement) {
    bool found = false;
    walkUnquoted(statement, [&](qsizetype i, int depth) {
        if (depth == 0 && (i == 0 || !isWordChar(statement.at(i - 1))) &&
            wordAt(statement, i) == QLatin1String("LIMIT")) {
            found = true;
            return false;
        }
        return true;
    });
    return found;
}

bool changesSchema(const QString& statement) {
    static const QRegularExpression ddl(QStringLiteral("^\\s*(CREATE|ALTER|DROP)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(statement).hasMatch();
}

QString quotedIdentifier(const QString& name, Dialect dialect) {
    if (dialect == Dialect::SqlServer)
        return QLatin1Char('[') + QString(name).replace(QLatin1String("]"), QLatin1String("]]")) +
               QLatin1Char(']');
    return QLatin1Char('"') + QString(name).replace(QLatin1String("\""), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

QString textLiteral(const QString& text, Dialect dialect) {
    const QString body = QString(text).replace(QLatin1Char('\''), QStringLiteral("''"));
    return (dialect == Dialect::SqlServer ? QStringLiteral("N'") : QStringLiteral("'")) + body +
           QLatin1Char('\'');
}

namespace {

bool mentionsAny(const QString& text, std::initializer_list<const char*> parts) {
    for (const char* part : parts) {
        if (text.contains(QLatin1String(part), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// What the operator is to understand of a fault of the database itself (SQLite's texts come
// alike through QSQLITE and the SQLite ODBC driver); empty for any other error.
QString faultExplanation(const QString& message) {
    if (mentionsAny(message, {"database is locked", "database table is locked",
                              "Lock request time out period exceeded"}))
        return QCoreApplication::translate(
            "Database", "The database is busy: another program held a lock on it for "
                        "longer than the tool waits");
    if (mentionsAny(message, {"database or disk is full", "disk I/O error", "File too large"}))
        return QCoreApplication::translate(
            "Database", "The database could not be written: the disk is full or the file "
                        "may not grow");
    if (mentionsAny(message, {"readonly database", "read-only database"}))
        return QCoreApplication::translate(
            "Database", "The database is read-only: its file or its folder may not be "
                        "written");
    if (mentionsAny(message, {"unable to open database file"}))
        return QCoreApplication::translate(
            "Database", "The database cannot be written: its file or its folder is "
                        "read-only, or missing");
    return QString();
}

} // namespace

QString sqlErrorMessage(const QSqlError& error) {
    return explainedDatabaseMessage(error.databaseText().isEmpty() ? error.text()
                                                                   : error.databaseText());
}

QString explainedDatabaseMessage(const QString& message) {
    const QString explanation = faultExplanation(message);
    return explanation.isEmpty()
               ? message
               : QCoreApplication::translate("Database", "%1 (%2)").arg(explanation, message);
}

} // namespace kestrel
