#pragma once

#include "database/database.h"

#include <QList>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

namespace kestrel {

using ResultRow = QList<QVariant>;

struct ResultPage {
    QStringList fields;
    std::vector<ResultRow> rows;
    bool more = false; // the result holds rows after this page
};

// Reads a select's result in pieces. Each call runs one statement and reads what it needs before
// it returns, so no result stays pending on the connection (FreeTDS serves one at a time).
class ResultReader {
public:
    ResultReader(Database& database, const QString& statement);

    // Up to count rows from the row at offset (from 0).
    ResultPage page(qsizetype offset, qsizetype count) const;
    // Every row, read to the result's end; and the fields alone, reading no row.
    ResultPage all() const;
    QStringList fields() const;
    qsizetype rowCount() const;
    // Calls visit(text, other, ordinal) for the column's value in every row: a text as a view,
    // valid during the call only, with other null; any other value (NULL included) in other.
    // The database may give them in another order than the whole rows (from an index of the
    // column).
    using ColumnVisitor = std::function<void(QStringView text, const QVariant* other, qsizetype)>;
    void scanColumn(const QString& column, const ColumnVisitor& visit) const;
    // The same through SQLite's C API only, touching no Qt SQL class: false, having visited
    // nothing, where that is not possible.
    bool scanColumnDirectly(const QString& column, const ColumnVisitor& visit) const;
    // The first row whose column holds the value (exactly, else as the database compares).
    std::optional<ResultRow> rowWithValue(const QString& column, const QString& value) const;

private:
    QString columnStatement(const QString& column) const;

    Database& m_database;
    QString m_statement;
};

} // namespace kestrel
