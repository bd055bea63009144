#include "database/db_column_metadata.h"

#include "database/db_sql_text.h"
#include "text/errors.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace kestrel {

namespace {

using Kind = ColumnInfo::Kind;

bool containsAny(const QString& text, std::initializer_list<const char*> parts) {
    for (const char* part : parts) {
        if (text.contains(QLatin1String(part)))
            return true;
    }
    return false;
}

// The first number in parentheses: "VARCHAR(20)" gives 20; "TEXT" gives -1.
int declaredLength(const QString& declaredType) {
    static const QRegularExpression pattern(QStringLiteral("\\(\\s*(\\d+)"));
    const QRegularExpressionMatch match = pattern.match(declaredType);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

Kind sqliteKind(const QString& type) {
    // SQLite's own order of precedence: INT before the text words, so "POINT" is an integer.
    if (type.contains(QLatin1String("INT")))
        return Kind::Integer;
    if (containsAny(type, {"CHAR", "CLOB", "TEXT"}))
        return Kind::Text;
    if (containsAny(type, {"DATE", "TIME"}))
        return Kind::DateTime;
    if (containsAny(type, {"BIT", "BOOL"}))
        return Kind::Boolean;
    if (containsAny(type, {"REAL", "FLOA", "DOUB", "DEC", "NUMERIC", "MONEY"}))
        return Kind::Number;
    // No declared type (or BLOB, or a name we cannot class): the text goes in unchanged and
    // SQLite applies its own affinity.
    return Kind::Other;
}

// "dbo.HY_Member" and "[HY_Member]" name the table HY_Member.
QString bareTableName(const QString& table) {
    QString name = table.section(QLatin1Char('.'), -1).trimmed();
    if (name.startsWith(QLatin1Char('[')) || name.startsWith(QLatin1Char('"')))
        name = name.mid(1, name.size() - 2);
    return name;
}

QList<ColumnInfo> readSqliteColumns(QSqlDatabase& connection, const QString& table) {
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid"));
    query.addBindValue(bareTableName(table));
    if (!query.exec())
        throw DatabaseError(sqlErrorMessage(query.lastError()));
    QList<ColumnInfo> columns;
    while (query.next())
        columns.append(sqliteColumn(query.value(0).toString(), query.value(1).toString()));
    return columns;
}

QList<ColumnInfo> readSqlServerColumns(QSqlDatabase& connection, const QString& table) {
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
        "CAST(COLLATIONPROPERTY(COLLATION_NAME, 'CodePage') AS int) "
        "FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = ? ORDER BY ORDINAL_POSITION"));
    query.addBindValue(bareTableName(table));
    if (!query.exec())
        throw DatabaseError(sqlErrorMessage(query.lastError()));
    QList<ColumnInfo> columns;
    while (query.next()) {
        const QVariant length = query.value(2);
        columns.append(sqlServerColumn(query.value(0).toString(), query.value(1).toString(),
                                       length.isNull() ? -1 : length.toInt(),
                                       query.value(3).toInt()));
    }
    return columns;
}

} // namespace

ColumnInfo sqliteColumn(const QString& name, const QString& declaredType) {
    ColumnInfo column;
    column.name = name;
    const QString type = declaredType.toUpper();
    column.kind = sqliteKind(type);
    if (column.kind == Kind::Text)
        column.length = declaredLength(type);
    return column;
}

ColumnInfo sqlServerColumn(const QString& name, const QString& dataType, int maximumLength,
                           int codePage) {
    ColumnInfo column;
    column.name = name;
    const QString type = dataType.toLower();
    if (type == QLatin1String("int") || type == QLatin1String("bigint") ||
        type == QLatin1String("smallint") || type == QLatin1String("tinyint")) {
        column.kind = Kind::Integer;
    } else if (type == QLatin1String("decimal") || type == QLatin1String("numeric") ||
               type == QLatin1String("money") || type == QLatin1String("smallmoney") ||
               type == QLatin1String("float") || type == QLatin1String("real")) {
        column.kind = Kind::Number;
    } else if (type.contains(QLatin1String("date")) || type == QLatin1String("time")) {
        column.kind = Kind::DateTime;
        if (type == QLatin1String("datetime")) {
            column.earliest = QDate(1753, 1, 1);
            column.latest = QDate(9999, 12, 31);
        } else if (type == QLatin1String("smalldatetime")) {
            column.earliest = QDate(1900, 1, 1);
            column.latest = QDate(2079, 6, 6);
        }
    } else if (type == QLatin1String("bit")) {
        column.kind = Kind::Boolean;
    } else if (type == QLatin1String("char") || type == QLatin1String("varchar") ||
               type == QLatin1String("text")) {
        column.kind = Kind::Text;
        // text and varchar(max) report 2^31-1 or -1: unbounded.
        column.length = type == QLatin1String("text") || maximumLength <= 0 ? -1 : maximumLength;
        column.lengthInBytes = column.length > 0;
        column.codePage = codePage;
    } else if (type == QLatin1String("nchar") || type == QLatin1String("nvarchar") ||
               type == QLatin1String("ntext")) {
        column.kind = Kind::Text;
        column.length = type == QLatin1String("ntext") || maximumLength <= 0 ? -1 : maximumLength;
    } else {
        column.kind = Kind::Other;
    }
    return column;
}

QList<ColumnInfo> readColumns(QSqlDatabase& connection, Dialect dialect, const QString& table) {
    QList<ColumnInfo> columns = dialect == Dialect::Sqlite
                                    ? readSqliteColumns(connection, table)
                                    : readSqlServerColumns(connection, table);
    if (columns.isEmpty())
        throw DatabaseError(
            QCoreApplication::translate("Database", "Invalid object name '%1'.").arg(table));
    return columns;
}

} // namespace kestrel
