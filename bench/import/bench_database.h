#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace kestrel::bench {

// Creates an SQLite branch database from the schema script and fills it with members (and one
// opening card value log row each) in one transaction through prepared statements.
void createMemberDatabase(const QString& path, const QString& schemaScript, int members);

// Rows of one table, read back to be inserted again by the baseline.
struct TableRows {
    QString table;
    QStringList columns;
    QList<QVariantList> rows;
};

// The columns the stored-value import writes, as present in the database's tables (columns the
// schema lacks are reported in missing).
QStringList writtenMemberColumns();
QStringList writtenLogColumns();
QStringList presentColumns(QSqlDatabase& connection, const QString& table,
                           const QStringList& wanted, QStringList& missing);

// Reads the given columns of the rows matching where (an SQL condition).
TableRows readRows(QSqlDatabase& connection, const QString& table, const QStringList& columns,
                   const QString& where);

// The baseline: inserts the rows with one prepared statement per table, in one transaction.
void insertRowsPlainly(QSqlDatabase& connection, const QList<TableRows>& tables);
// The same through SQLite's C API on a connection of its own: the database's own limit.
// Gives the seconds the inserts and the commit took.
double insertRowsThroughSqlite(const QString& path, const QStringList& pragmas,
                               const QList<TableRows>& tables);

// The seconds SQLite's C API takes to step through the select's first column, reading each
// value as UTF-16 text: the database's own time for the read a key search starts with.
double readColumnThroughSqlite(const QString& path, const QStringList& pragmas,
                               const QString& select);

// A single number from a select; throws on failure.
qint64 scalar(QSqlDatabase& connection, const QString& select);

} // namespace kestrel::bench
