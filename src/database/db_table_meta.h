#pragma once

#include "database/database.h"

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <memory>

namespace kestrel {

// Positions of names looked up without regard to letter case. Importers repeat the same literal
// names for every row, so each exact spelling is remembered to avoid case-folding on each call.
class NameIndex {
public:
    void assign(const QStringList& names);
    int indexOf(const QString& name) const; // -1 when absent

private:
    QHash<QString, int> m_byFoldedName;
    mutable QHash<QString, int> m_byExactName;
};

class DirectInsert;
class OdbcBatchInsert;

// An insert prepared through Qt, through SQLite's C API where that is possible, or on SQL
// Server's ODBC handle in parameter arrays.
struct PreparedInsert {
    std::shared_ptr<QSqlQuery> qt;
    std::shared_ptr<DirectInsert> direct;
    std::shared_ptr<OdbcBatchInsert> batched;

    explicit operator bool() const { return qt || direct || batched; }
};

// A table's columns as the database declares them, and the insert statements already prepared
// for it (one per set of written columns).
struct TableMeta {
    QString name;
    QList<ColumnInfo> columns;
    NameIndex names;
    QHash<QList<int>, PreparedInsert> inserts;
};

// Message of a field name that is not among a result's or table's columns.
QString fieldNotFoundMessage(const QString& field);

} // namespace kestrel
