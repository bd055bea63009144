#pragma once

#include "database/database.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace kestrel {

// Classes a declared SQLite column type the way SQLite derives a column's affinity, with the
// finer kinds the conversion rules need (dates, booleans) and the length in parentheses.
ColumnInfo sqliteColumn(const QString& name, const QString& declaredType);
// Classes a SQL Server data type name (INFORMATION_SCHEMA.COLUMNS.DATA_TYPE).
ColumnInfo sqlServerColumn(const QString& name, const QString& dataType, int maximumLength,
                           int codePage);

// Reads a table's columns from the database's own catalogue, in declaration order. Throws
// DatabaseError when the table has no columns (it does not exist).
QList<ColumnInfo> readColumns(QSqlDatabase& connection, Dialect dialect, const QString& table);

} // namespace kestrel
