#include "database/database.h"

#include "database/db_column_metadata.h"
#include "database/db_connection_worker.h"
#include "database/db_odbc_insert.h"
#include "database/db_sql_text.h"
#include "database/db_table_meta.h"
#include "text/errors.h"

#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace kestrel {

namespace {

// The catalogue test of the main window asks SQL Server's sysobjects; on SQLite a temporary view
// over sqlite_master answers it without storing anything in the database file.
const QString kSqliteSysobjectsView =
    QStringLiteral("CREATE TEMP VIEW IF NOT EXISTS sysobjects AS "
                   "SELECT name COLLATE NOCASE AS Name, "
                   "CASE type WHEN 'table' THEN 'U' ELSE 'V' END AS XType "
                   "FROM main.sqlite_master "
                   "WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");

} // namespace

QStringList sqliteSessionPragmas() {
    // A branch table of a million members and its indexes outgrow SQLite's default 2 MiB page
    // cache many times over. No memory map: every page of the database read through one stays
    // resident in the program (a branch of a million members maps 900 MB), and reading the
    // pages into the cache is as fast.
    return {QStringLiteral("PRAGMA cache_size=-65536"), QStringLiteral("PRAGMA temp_store=MEMORY"),
            QStringLiteral("PRAGMA mmap_size=0")};
}

struct Database::Cache {
    QHash<QString, std::shared_ptr<TableMeta>> tables; // by case-folded name
    QSet<QString> missing;
};

Database::Database(QSqlDatabase connection, Dialect dialect)
    : m_connection(std::move(connection)), m_dialect(dialect), m_cache(std::make_unique<Cache>()) {
    if (m_dialect == Dialect::Sqlite) {
        m_connectionWorker = std::make_unique<ConnectionWorker>();
        // First: changing where temporary objects live drops those already made.
        for (const QString& pragma : sqliteSessionPragmas())
            execute(pragma);
        execute(kSqliteSysobjectsView);
    } else {
        // Any error inside a transaction aborts all of it; row counts would only be extra
        // results that a batch's caller must read past.
        execute(QStringLiteral("SET XACT_ABORT ON"));
        execute(QStringLiteral("SET NOCOUNT ON"));
        // A lock held by another program fails the statement after this wait instead of
        // holding the import for ever.
        execute(QStringLiteral("SET LOCK_TIMEOUT %1").arg(kBusyWaitSeconds * 1000));
    }
}

Database::~Database() {
    rollback();
    m_queuedInserts.clear();
    // Release every statement of the connection before the connection itself, so that Qt can
    // close it and forget its name; an opened database stays open otherwise until the end.
    m_cache.reset();
    const QString name = m_connection.connectionName();
    m_connection.close();
    m_connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

QSqlDatabase& Database::connection() {
    if (m_connectionWorker)
        m_connectionWorker->waitIdle();
    // Taken first: a failed insert leaves nothing queued, the transaction being lost anyway.
    const std::vector<std::shared_ptr<OdbcBatchInsert>> queued = std::move(m_queuedInserts);
    m_queuedInserts.clear();
    try {
        for (const std::shared_ptr<OdbcBatchInsert>& insert : queued)
            insert->flush();
    } catch (...) {
        for (const std::shared_ptr<OdbcBatchInsert>& insert : queued)
            insert->discard();
        throw;
    }
    return m_connection;
}

void Database::queueInsert(const std::shared_ptr<OdbcBatchInsert>& insert) {
    if (std::find(m_queuedInserts.begin(), m_queuedInserts.end(), insert) == m_queuedInserts.end())
        m_queuedInserts.push_back(insert);
}

void Database::beginBackgroundInserts() {
    if (m_connectionWorker)
        m_connectionWorker->start();
}

void Database::finishBackgroundInserts() {
    if (m_connectionWorker)
        m_connectionWorker->finish();
}

void Database::execute(const QString& statement) {
    const QStringList statements =
        m_dialect == Dialect::Sqlite ? splitBatch(statement) : QStringList{statement};
    bool schemaChanged = false;
    for (const QString& single : statements) {
        QSqlQuery query(connection());
        query.setForwardOnly(true);
        if (!query.exec(single))
            throw DatabaseError(sqlErrorMessage(query.lastError()));
        // A batch reports a failing later statement among its further results.
        while (m_dialect == Dialect::SqlServer && query.nextResult()) {
        }
        if (query.lastError().isValid())
            throw DatabaseError(sqlErrorMessage(query.lastError()));
        query.finish();
        schemaChanged = schemaChanged || changesSchema(single);
    }
    if (schemaChanged)
        clearCache();
}

void Database::executeBatch(const QStringList& statements) {
    if (m_dialect == Dialect::SqlServer) {
        execute(statements.join(QLatin1Char(' ')));
        return;
    }
    for (const QString& statement : statements)
        execute(statement);
}

// SQLite: BEGIN IMMEDIATE takes the write lock at once, waiting for another writer as long as
// the busy timeout allows. A deferred transaction would take it only at its first write, after
// its first read, and SQLite then fails at once instead of waiting (the wait could deadlock).
// Run as statements, so that QSQLITE and the SQLite ODBC driver behave the same.
void Database::beginTransaction() {
    if (m_dialect == Dialect::Sqlite) {
        execute(QStringLiteral("BEGIN IMMEDIATE"));
    } else if (!connection().transaction()) {
        throw DatabaseError(sqlErrorMessage(m_connection.lastError()));
    }
    m_inTransaction = true;
}

void Database::commit() {
    if (m_dialect == Dialect::Sqlite)
        execute(QStringLiteral("COMMIT"));
    else if (!connection().commit())
        throw DatabaseError(sqlErrorMessage(m_connection.lastError()));
    m_inTransaction = false;
}

void Database::rollback() {
    if (m_connectionWorker)
        m_connectionWorker->abandon();
    for (const std::shared_ptr<OdbcBatchInsert>& insert : m_queuedInserts)
        insert->discard();
    m_queuedInserts.clear();
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    if (m_dialect == Dialect::Sqlite) {
        QSqlQuery query(m_connection);
        query.exec(QStringLiteral("ROLLBACK")); // SQLite may have rolled back already
    } else {
        m_connection.rollback();
    }
}

const QList<ColumnInfo>& Database::columns(const QString& table) {
    return tableMeta(table)->columns;
}

std::shared_ptr<TableMeta> Database::tableMeta(const QString& table) {
    const QString key = table.toCaseFolded();
    if (const auto found = m_cache->tables.constFind(key); found != m_cache->tables.constEnd())
        return found.value();
    auto meta = std::make_shared<TableMeta>();
    meta->name = table;
    meta->columns = readColumns(connection(), m_dialect, table);
    QStringList names;
    for (const ColumnInfo& column : meta->columns)
        names.append(column.name);
    meta->names.assign(names);
    m_cache->tables.insert(key, meta);
    m_cache->missing.remove(key);
    return meta;
}

std::shared_ptr<TableMeta> Database::findTableMeta(const QString& table) {
    const QString key = table.toCaseFolded();
    if (table.isEmpty() || m_cache->missing.contains(key))
        return nullptr;
    try {
        return tableMeta(table);
    } catch (const DatabaseError&) {
        m_cache->missing.insert(key);
        return nullptr;
    }
}

void Database::clearCache() {
    m_cache->tables.clear();
    m_cache->missing.clear();
}

bool Database::tableExists(const QString& table) {
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    query.prepare(m_dialect == Dialect::Sqlite
                      ? QStringLiteral("SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND "
                                       "name = ? COLLATE NOCASE")
                      : QStringLiteral("SELECT 1 FROM sysobjects WHERE name = ? AND xtype = 'U'"));
    query.addBindValue(table);
    if (!query.exec())
        throw DatabaseError(sqlErrorMessage(query.lastError()));
    bool exists = false;
    while (query.next()) // read to its end: a result left unread is cancelled on SQL Server
        exists = true;
    query.finish();
    return exists;
}

} // namespace kestrel
