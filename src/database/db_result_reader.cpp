#include "database/db_result_reader.h"

#include "database/db_sql_text.h"
#include "database/db_sqlite_direct.h"
#include "text/errors.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace kestrel {

namespace {

QSqlQuery newQuery(Database& database) {
    QSqlQuery query(database.connection());
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    return query;
}

void run(QSqlQuery& query, const QString& statement, const QVariantList& values = {}) {
    bool ok = false;
    if (values.isEmpty()) {
        ok = query.exec(statement);
    } else {
        ok = query.prepare(statement);
        for (const QVariant& value : values)
            query.addBindValue(value);
        ok = ok && query.exec();
    }
    if (!ok)
        throw DatabaseError(sqlErrorMessage(query.lastError()));
}

ResultRow currentRow(const QSqlQuery& query, int fields) {
    ResultRow row;
    row.reserve(fields);
    for (int i = 0; i < fields; ++i)
        row.append(query.value(i));
    return row;
}

QStringList fieldNames(const QSqlRecord& record) {
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names.append(record.fieldName(i));
    return names;
}

} // namespace

ResultReader::ResultReader(Database& database, const QString& statement)
    : m_database(database), m_statement(statement) {}

ResultPage ResultReader::page(qsizetype offset, qsizetype count) const {
    QSqlQuery query = newQuery(m_database);
    // SQLite skips rows itself, in the order the statement alone gives; elsewhere the rows
    // before the offset are read past.
    const bool sqliteOffset =
        offset > 0 && m_database.dialect() == Dialect::Sqlite && !hasLimitClause(m_statement);
    if (sqliteOffset) {
        run(query,
            QStringLiteral("%1 LIMIT %2 OFFSET %3").arg(m_statement).arg(count + 1).arg(offset));
    } else {
        run(query, m_statement);
    }
    ResultPage result;
    result.fields = fieldNames(query.record());
    const int fields = static_cast<int>(result.fields.size());
    for (qsizetype skipped = 0; !sqliteOffset && skipped < offset; ++skipped) {
        if (!query.next())
            break;
    }
    while (query.next()) {
        if (static_cast<qsizetype>(result.rows.size()) == count) {
            result.more = true;
            break;
        }
        result.rows.push_back(currentRow(query, fields));
    }
    query.finish();
    return result;
}

ResultPage ResultReader::all() const {
    QSqlQuery query = newQuery(m_database);
    run(query, m_statement);
    ResultPage result;
    result.fields = fieldNames(query.record());
    const int fields = static_cast<int>(result.fields.size());
    while (query.next())
        result.rows.push_back(currentRow(query, fields));
    query.finish();
    return result;
}

QStringList ResultReader::fields() const {
    QSqlQuery query = newQuery(m_database);
    run(query, m_database.dialect() == Dialect::SqlServer
                   ? QStringLiteral("SELECT TOP 0 * FROM (%1) AS k").arg(m_statement)
                   : QStringLiteral("SELECT * FROM (%1) AS k LIMIT 0").arg(m_statement));
    const QStringList names = fieldNames(query.record());
    while (query.next()) {
    }
    query.finish();
    return names;
}

qsizetype ResultReader::rowCount() const {
    QSqlQuery query = newQuery(m_database);
    run(query, QStringLiteral("SELECT COUNT(*) FROM (%1) AS k").arg(m_statement));
    qsizetype count = 0;
    while (query.next()) // to the result's end: SQL Server cancels a result left unread
        count = query.value(0).toLongLong();
    query.finish();
    return count;
}

// Merged into the outer select, SQLite may read a covering index instead of the table: ten
// times faster, at the price of an order that can differ from the statement's own.
QString ResultReader::columnStatement(const QString& column) const {
    return QStringLiteral("SELECT k.%1 FROM (%2) AS k")
        .arg(quotedIdentifier(column, m_database.dialect()), m_statement);
}

bool ResultReader::scanColumnDirectly(const QString& column, const ColumnVisitor& visit) const {
    qsizetype ordinal = 0;
    return scanFirstColumnDirectly(
        m_database.connection(), columnStatement(column),
        [&](QStringView text, const QVariant* other) { visit(text, other, ordinal++); });
}

void ResultReader::scanColumn(const QString& column, const ColumnVisitor& visit) const {
    if (scanColumnDirectly(column, visit))
        return;
    const QString statement = columnStatement(column);
    qsizetype ordinal = 0;
    QSqlQuery query = newQuery(m_database);
    run(query, statement);
    for (; query.next(); ++ordinal) {
        const QVariant value = query.value(0);
        if (value.metaType().id() == QMetaType::QString && !value.isNull())
            visit(*static_cast<const QString*>(value.constData()), nullptr, ordinal);
        else
            visit(QStringView(), &value, ordinal);
    }
    query.finish();
}

std::optional<ResultRow> ResultReader::rowWithValue(const QString& column,
                                                    const QString& value) const {
    QSqlQuery query = newQuery(m_database);
    const QString select = QStringLiteral("SELECT * FROM (%1) AS k WHERE k.%2 = ")
                               .arg(m_statement, quotedIdentifier(column, m_database.dialect()));
    // SQL Server: a Unicode literal, which reaches the server whatever its code page.
    if (m_database.dialect() == Dialect::SqlServer)
        run(query, select + textLiteral(value, Dialect::SqlServer));
    else
        run(query, select + u'?', {value});
    const int fields = query.record().count();
    const int keyField = query.record().indexOf(column);
    std::optional<ResultRow> found;
    while (query.next()) {
        ResultRow row = currentRow(query, fields);
        const bool exact = keyField >= 0 && row.at(keyField).toString() == value;
        if (!found || (exact && found->at(keyField).toString() != value))
            found = std::move(row);
    }
    query.finish();
    return found;
}

} // namespace kestrel
