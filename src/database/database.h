#pragma once

#include <QDate>
#include <QLocale>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace kestrel {

enum class Dialect { SqlServer, Sqlite };

// How long a statement waits for a lock that another program holds before it fails with a
// "database is busy" error (SQLite's busy timeout, SQL Server's LOCK_TIMEOUT).
constexpr int kBusyWaitSeconds = 5;

// How a column's text value is converted when a row is posted. Classed from the database's own
// metadata, never from a list in our code.
struct ColumnInfo {
    enum class Kind { Text, Integer, Number, DateTime, Boolean, Other };
    QString name;
    Kind kind = Kind::Text;
    int length = -1;            // declared length of a text column; -1 when unbounded
    bool lengthInBytes = false; // SQL Server varchar/char: the length counts bytes of codePage
    int codePage = 0;           // SQL Server varchar/char/text: the column's code page (936, ...)
    QDate earliest, latest;     // SQL Server datetime/smalldatetime: the dates it can hold
};

struct TableMeta; // a table's columns with name lookups and cached insert statements
class ConnectionWorker;
class OdbcBatchInsert;

// The settings every SQLite connection gets: a page cache large enough for a branch table of a
// million members, no memory map, temporary structures in memory. None of them changes how a
// transaction is journalled or synced.
QStringList sqliteSessionPragmas();

// The one connection to the branch database (an open QSqlDatabase) and what every statement
// needs: the dialect, column metadata, batches, transactions.
//
// SQL Server statement texts are used exactly as written. On SQLite:
//  - a batch is a list of statements run one by one in order;
//  - the catalogue test " Select Name From sysobjects Where ..." works through a temporary view
//    (nothing is stored in the database file).
// Every failure throws DatabaseError with the server's or the layer's message.
class Database {
public:
    // Takes over an open connection. On SQL Server sets XACT_ABORT ON so that any error inside
    // a transaction aborts the whole transaction.
    Database(QSqlDatabase connection, Dialect dialect);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    Dialect dialect() const { return m_dialect; }
    // The connection, free for the caller: inserts running in the background and rows queued
    // for SQL Server have all been sent (which throws DatabaseError when the server refuses them).
    QSqlDatabase& connection();
    // Rows queued on a batched insert, sent at the next use of the connection; dropped by
    // rollback().
    void queueInsert(const std::shared_ptr<OdbcBatchInsert>& insert);

    // The locale used to read number and date texts written to numeric and date columns.
    void setLocale(const QLocale& locale) { m_locale = locale; }
    const QLocale& locale() const { return m_locale; }

    // Runs statements that return no rows. On SQL Server the batch is sent as one text, the
    // statements joined by single blanks; on SQLite they run one by one.
    void execute(const QString& statement);
    void executeBatch(const QStringList& statements);

    void beginTransaction();
    void commit();
    void rollback(); // never throws; safe to call when no transaction is open
    bool inTransaction() const { return m_inTransaction; }

    // Between these two, rows posted through SQLite's C API are inserted on a second thread
    // while the caller goes on; any other use of the connection waits for them first. A failed
    // insert is thrown at a later post or by finishBackgroundInserts(), which waits for the
    // rest; rollback() drops them. Elsewhere, and on SQL Server, posting runs as it is called.
    void beginBackgroundInserts();
    void finishBackgroundInserts();
    ConnectionWorker* connectionWorker() {
        return m_connectionWorker.get();
    } // null except on SQLite

    // Column metadata of a table, read from the database once and cached.
    const QList<ColumnInfo>& columns(const QString& table);
    // True when a user table of that name exists (letter case ignored).
    bool tableExists(const QString& table);
    // The columns of a table with their lookups and cached statements, loaded once. The first
    // throws DatabaseError for a table that does not exist; the second gives null instead.
    std::shared_ptr<TableMeta> tableMeta(const QString& table);
    std::shared_ptr<TableMeta> findTableMeta(const QString& table);
    // Forgets cached metadata and statements (after the schema changed).
    void clearCache();

private:
    QSqlDatabase m_connection;
    Dialect m_dialect;
    QLocale m_locale;
    bool m_inTransaction = false;
    std::unique_ptr<ConnectionWorker> m_connectionWorker; // outlives the statements in the cache
    std::vector<std::shared_ptr<OdbcBatchInsert>> m_queuedInserts;
    struct Cache;
    std::unique_ptr<Cache> m_cache;
};

// A statement holder on the connection, with the operations the importers use:
// close, set statement, open, next, locate, append, field write, post, field read, execute.
//
// Opening a select makes its result available with a current row (the first). A result larger
// than a page is read a page at a time as the current row moves (on SQL Server: whole, when its
// rows are first asked for; every result there is read to its end); locate() searches an index of
// the column (letter case folded, built once per open by a select of that column alone) and
// reads a found row by its value. On such a result recNo() after a locate may count rows in the
// order of the database's index of that column. A posted row counts as part of the result, so a
// later locate finds it.
class Query {
public:
    explicit Query(Database& database);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void close();
    void setSql(const QString& statement); // clears the text, then sets it
    const QString& sql() const;

    void open();    // runs the select
    void execSql(); // runs the statement text as a batch that returns no rows
    bool isOpen() const;
    bool eof() const;
    bool isEmpty() const;
    int recNo() const; // position of the current row, counted from 1
    void next();

    // Moves to the first row whose column equals value as a whole, ignoring letter case.
    bool locate(const QString& column, const QString& value);
    // Starts reading what locate() searches in the column on the connection's worker thread
    // (SQLite), so that the caller may do other work meanwhile; any other use of the connection
    // waits for it. Does nothing where that is not possible.
    void prepareLocate(const QString& column);

    // Reads a column of the current row (or of the row just posted) as text: NULL as the empty
    // text, numbers by the cell-to-text rule, dates as yyyy-mm-dd with " hh:mm:ss" when the
    // time is not midnight.
    QString fieldText(const QString& column) const;

    // Begins a new row of the table the open select reads; columns not written keep the
    // table's defaults (the insert names only written columns).
    void append();
    void setField(const QString& column, const QString& text);
    void setFieldNumber(const QString& column, double value);
    // setField converts the text to its column's type at once (so that a field read of the new
    // row gives the stored value); post inserts the row. Conversion failures throw
    // DatabaseError with "'%s' is not a valid integer value for field '%s'" etc.
    void post();

    // The same by a column's position in the table rows are appended to, for a writer that
    // looks its names up once instead of for every row. tableColumn() gives -1 for a name the
    // table lacks (writing it by name then throws the usual error); the position stays valid
    // while the query stays open.
    int tableColumn(const QString& column) const;
    void setFieldAt(int column, const QString& text);
    void setFieldNumberAt(int column, double value);
    // What setFieldAt() and setFieldNumberAt() would store in the column, without storing it,
    // and storing such a value: a writer that writes the same constant into every row
    // converts it once. Both throw as the setters do.
    QVariant storedValueAt(int column, const QString& text) const;
    QVariant storedNumberAt(int column, double value) const;
    void setStoredAt(int column, const QVariant& stored);
    // Reads a column of the row being appended or just posted by position; on any other row,
    // as fieldText() with the column's name.
    QString fieldTextAt(int column) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kestrel
