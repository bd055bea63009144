#pragma once

#include "database/database.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace kestrel {

// An INSERT prepared once on the ODBC handle of a QODBC connection to SQL Server, its rows sent
// in ODBC parameter arrays: many rows a round trip, one prepare for the statement. Qt's binding
// gives each text the size of its value, and the driver prepares again whenever a size changes;
// here every parameter keeps one declared type and size. Texts are bound as Unicode
// (SQL_WVARCHAR), so that they reach nvarchar columns whatever the server's code page.
class OdbcBatchInsert {
public:
    // The statement on the connection's handle, its parameters typed by the columns they fill
    // (in order). Throws DatabaseError when it does not prepare.
    OdbcBatchInsert(const QSqlDatabase& connection, const QString& statement,
                    const QList<ColumnInfo>& columns);
    ~OdbcBatchInsert();
    OdbcBatchInsert(const OdbcBatchInsert&) = delete;
    OdbcBatchInsert& operator=(const OdbcBatchInsert&) = delete;

    // Queues a row, one stored value per column; a full array is sent at once.
    void add(std::vector<QVariant> row);
    bool hasPending() const { return !m_rows.empty(); }
    // Sends the queued rows. Throws DatabaseError with the server's message; the queue is empty
    // afterwards either way.
    void flush();
    void discard() { m_rows.clear(); }

    // Rows sent in one array: one request to the server.
    static constexpr std::size_t kRowsPerRequest = 500;

private:
    struct Parameter;
    void send(std::size_t first, std::size_t count);
    // Throws the message, else the statement's diagnostics; the queue is emptied.
    [[noreturn]] void fail(const QString& message);

    void* m_statement = nullptr; // SQLHSTMT
    std::vector<Parameter> m_parameters;
    std::vector<std::vector<QVariant>> m_rows;
    std::vector<unsigned short> m_status; // SQLUSMALLINT per row of an array
};

} // namespace kestrel
