#include "database/database.h"

#include "database/db_connection_worker.h"
#include "database/db_locate_index.h"
#include "database/db_odbc_insert.h"
#include "database/db_result_reader.h"
#include "database/db_sql_text.h"
#include "database/db_sqlite_direct.h"
#include "database/db_table_meta.h"
#include "database/db_value_conversion.h"
#include "text/errors.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <cstring>

namespace kestrel {

namespace {

// Rows read at a time. A result that fits in one page is held whole; a larger one (a whole
// member table) is read a page at a time as the current row moves, and searched by index.
constexpr qsizetype kPageRows = 2048;

using Kind = ColumnInfo::Kind;

DatabaseError closedDataset() {
    return DatabaseError(QCoreApplication::translate(
        "Database", "Cannot perform this operation on a closed dataset"));
}

} // namespace

// A row being appended or just posted: its stored values by table column and which of them
// were written. A value not written reads as NULL whatever the list holds: a new row takes the
// list of the row posted before last without clearing a hundred values first.
struct NewRow {
    ResultRow values;
    std::vector<bool> written;

    const QVariant& at(int column) const {
        static const QVariant null;
        return written[static_cast<std::size_t>(column)] ? values.at(column) : null;
    }
    void clear() {
        values.clear();
        written.clear();
    }
};

// An index of a column being read on the connection's worker thread.
struct PrefetchedIndex {
    QString key; // the case-folded column name
    std::shared_ptr<LocateIndex> index = std::make_shared<LocateIndex>();
    bool built = false; // false: to be built when first searched
    std::exception_ptr failure;
};

struct Query::Private {
    explicit Private(Database& db) : database(db) {}
    ~Private() { waitForPrefetch(); }

    Database& database;
    QString sql;
    bool open = false;

    // The result: its fields, how to read their stored values, and the rows in hand.
    QStringList fields;
    NameIndex fieldNames;
    QList<Kind> fieldKinds;
    qsizetype baseCount = 0;    // rows the select gave when opened
    bool wholeInWindow = false; // every one of those rows is in the window
    qsizetype windowStart = 0;
    std::vector<ResultRow> window;
    qsizetype detachedOrdinal = -1; // a row found by locate outside the window
    QString detachedColumn;
    QString detachedValue;
    std::optional<ResultRow> detachedRow;

    // Rows posted through this query follow the selected ones; the latest is held in full.
    std::shared_ptr<TableMeta> table;
    qsizetype postedCount = 0;
    NewRow lastPosted;

    qsizetype position = 0;
    bool atEnd = true;
    QHash<QString, std::shared_ptr<LocateIndex>> indexes; // by case-folded column name
    // Indexes read from the rows in hand count rows as the window does; those read by a
    // select of the column alone may count them in the order of an index of the database.
    QSet<QString> indexesInRowOrder;
    std::shared_ptr<PrefetchedIndex> prefetch;
    QString lastLocateColumn; // the column of the latest locate, as spelled by its caller
    LocateIndex* lastLocateIndex = nullptr;
    bool lastLocateInRowOrder = false;

    bool appending = false;
    PreparedInsert lastInsert; // the insert of the latest post, for its columns
    std::shared_ptr<TableMeta> lastInsertTable;
    std::vector<bool> lastInsertWritten;
    bool lastInsertGuarded = false;
    TextConverter converter;
    std::vector<QVariant> bindable; // the values of a direct post in their bound form
    NewRow pending;

    qsizetype total() const { return baseCount + postedCount; }
    bool onLastPosted() const { return postedCount > 0 && position == total() - 1; }
    ResultReader reader() const { return ResultReader(database, sql); }

    void reset();
    void requireOpen() const;
    void loadFirstPage();
    void loadSqlServerResult();
    TableMeta& targetTable();
    void settle(Query& query);

    const ResultRow& rowAt(qsizetype ordinal);
    QString tableFieldText(const NewRow& row, const QString& column);
    QString resultFieldText(const QString& column);

    LocateIndex& indexFor(const QString& column);
    LocateIndex& findOrBuildIndex(const QString& column);
    void buildIndexFromWindow(LocateIndex& index, int field);
    void buildIndexFromDatabase(LocateIndex& index, const QString& column);
    bool scanIntoIndex(LocateIndex& index, const QString& column, bool directOnly);
    void waitForPrefetch();
    std::shared_ptr<LocateIndex> takePrefetched(const QString& key);
    void indexPostedRow();

    PreparedInsert& insertStatement();
    void postThroughQt(QSqlQuery& insert);
    void postDirectly(DirectInsert& insert);
    void postBatched(const std::shared_ptr<OdbcBatchInsert>& insert);
};

void Query::Private::reset() {
    waitForPrefetch();
    prefetch.reset();
    open = false;
    fields.clear();
    fieldNames.assign({});
    fieldKinds.clear();
    baseCount = 0;
    wholeInWindow = false;
    windowStart = 0;
    window.clear();
    detachedOrdinal = -1;
    detachedRow.reset();
    table.reset();
    postedCount = 0;
    lastPosted.clear();
    position = 0;
    atEnd = true;
    indexes.clear();
    indexesInRowOrder.clear();
    lastLocateIndex = nullptr;
    lastLocateColumn.clear();
    appending = false;
    pending.clear();
    lastInsert = {};
    lastInsertTable.reset();
}

void Query::Private::requireOpen() const {
    if (!open)
        throw closedDataset();
}

void Query::Private::loadFirstPage() {
    if (database.dialect() == Dialect::SqlServer) {
        loadSqlServerResult();
    } else {
        ResultPage page = reader().page(0, kPageRows);
        fields = page.fields;
        window = std::move(page.rows);
        windowStart = 0;
        wholeInWindow = !page.more;
        baseCount = wholeInWindow ? static_cast<qsizetype>(window.size()) : reader().rowCount();
    }
    fieldNames.assign(fields);

    // Stored values read back by their column's kind (SQLite keeps dates as text).
    table = database.findTableMeta(selectedTable(sql));
    for (const QString& field : fields) {
        const int column = table ? table->names.indexOf(field) : -1;
        fieldKinds.append(column >= 0 ? table->columns.at(column).kind : Kind::Other);
    }
}

// SQL Server: every result is read to its end (a result left unread is cancelled, and a cancel
// rolls back the open transaction), and a select runs no second time to reach later rows (its
// order is not promised). A small result is held whole; of a larger one only its fields until
// its rows are asked for, then all of them at once; a search reads the searched column alone.
void Query::Private::loadSqlServerResult() {
    baseCount = reader().rowCount();
    window.clear();
    windowStart = 0;
    wholeInWindow = baseCount <= kPageRows;
    if (!wholeInWindow) {
        fields = reader().fields();
        return;
    }
    ResultPage all = reader().all();
    fields = std::move(all.fields);
    window = std::move(all.rows);
    baseCount = static_cast<qsizetype>(window.size());
}

TableMeta& Query::Private::targetTable() {
    if (!table)
        table = database.tableMeta(selectedTable(sql));
    return *table;
}

// Leaving a new row for another operation posts it when a field was written, as a dataset in
// insert mode does; an untouched new row is dropped.
void Query::Private::settle(Query& query) {
    if (!appending)
        return;
    if (std::find(pending.written.begin(), pending.written.end(), true) != pending.written.end())
        query.post();
    appending = false;
}

const ResultRow& Query::Private::rowAt(qsizetype ordinal) {
    if (ordinal == detachedOrdinal) {
        if (!detachedRow)
            detachedRow = reader().rowWithValue(detachedColumn, detachedValue);
        if (detachedRow)
            return *detachedRow;
    }
    if (ordinal >= windowStart && ordinal < windowStart + static_cast<qsizetype>(window.size()))
        return window[static_cast<std::size_t>(ordinal - windowStart)];
    if (database.dialect() == Dialect::SqlServer) { // read whole, never a part
        window = reader().all().rows;
        windowStart = 0;
        if (ordinal < static_cast<qsizetype>(window.size()))
            return window[static_cast<std::size_t>(ordinal)];
        throw DatabaseError(
            QCoreApplication::translate("Database", "Row %1 is no longer in the result")
                .arg(ordinal + 1));
    }
    ResultPage page = reader().page(ordinal, kPageRows);
    window = std::move(page.rows);
    windowStart = ordinal;
    wholeInWindow = false;
    if (window.empty())
        throw DatabaseError(
            QCoreApplication::translate("Database", "Row %1 is no longer in the result")
                .arg(ordinal + 1));
    return window.front();
}

QString Query::Private::tableFieldText(const NewRow& row, const QString& column) {
    const int index = targetTable().names.indexOf(column);
    if (index < 0)
        throw DatabaseError(fieldNotFoundMessage(column));
    return valueText(row.at(index), table->columns.at(index).kind, database.locale());
}

QString Query::Private::resultFieldText(const QString& column) {
    const int field = fieldNames.indexOf(column);
    if (field < 0)
        throw DatabaseError(fieldNotFoundMessage(column));
    if (total() == 0)
        return QString();
    const ResultRow& row = rowAt(position);
    return valueText(row.at(field), fieldKinds.at(field), database.locale());
}

LocateIndex& Query::Private::indexFor(const QString& column) {
    // An import searches the same column for every row: the latest one is kept at hand.
    if (lastLocateIndex && column == lastLocateColumn)
        return *lastLocateIndex;
    LocateIndex& index = findOrBuildIndex(column);
    lastLocateColumn = column;
    lastLocateIndex = &index;
    lastLocateInRowOrder = indexesInRowOrder.contains(column.toCaseFolded());
    return index;
}

LocateIndex& Query::Private::findOrBuildIndex(const QString& column) {
    const QString key = column.toCaseFolded();
    if (const auto found = indexes.constFind(key); found != indexes.constEnd())
        return *found.value();
    const int field = fieldNames.indexOf(column);
    if (field < 0)
        throw DatabaseError(fieldNotFoundMessage(column));
    if (std::shared_ptr<LocateIndex> read = takePrefetched(key)) {
        indexes.insert(key, read);
        return *read;
    }
    auto index = std::make_shared<LocateIndex>();
    if (wholeInWindow && postedCount == 0) {
        buildIndexFromWindow(*index, field);
        indexesInRowOrder.insert(key);
    } else {
        buildIndexFromDatabase(*index, fields.at(field));
    }
    indexes.insert(key, index);
    return *index;
}

void Query::Private::buildIndexFromWindow(LocateIndex& index, int field) {
    index.reserve(static_cast<qsizetype>(window.size()), 0);
    for (std::size_t i = 0; i < window.size(); ++i) {
        const QVariant& value = window[i].at(field);
        if (!value.isNull())
            index.add(valueText(value, fieldKinds.at(field), database.locale()),
                      static_cast<qsizetype>(i));
    }
}

// One select of the single column; rows posted before now are in the table already.
void Query::Private::buildIndexFromDatabase(LocateIndex& index, const QString& column) {
    scanIntoIndex(index, column, false);
}

// directOnly: only through SQLite's C API, as a task on the worker thread may; false when that
// is not possible here.
bool Query::Private::scanIntoIndex(LocateIndex& index, const QString& column, bool directOnly) {
    const int field = fieldNames.indexOf(column);
    index.reserve(total(), total() * 12);
    const Kind kind = fieldKinds.at(field);
    // Only numbers and dates stored as text are shown otherwise than stored.
    const bool textAsStored = kind != Kind::Number && kind != Kind::DateTime;
    index.beginBulk();
    const auto add = [&](QStringView text, const QVariant* other, qsizetype ordinal) {
        if (!other && textAsStored)
            index.add(text, ordinal);
        else if (!other)
            index.add(valueText(text.toString(), kind, database.locale()), ordinal);
        else if (!other->isNull())
            index.add(valueText(*other, kind, database.locale()), ordinal);
    };
    if (directOnly) {
        if (!reader().scanColumnDirectly(column, add))
            return false;
    } else {
        reader().scanColumn(column, add);
    }
    index.endBulk();
    return true;
}

void Query::Private::waitForPrefetch() {
    if (prefetch)
        database.connection(); // waits for the worker thread
}

// The index read on the worker thread, if that was done; throws what the reading threw.
std::shared_ptr<LocateIndex> Query::Private::takePrefetched(const QString& key) {
    if (!prefetch || prefetch->key != key)
        return nullptr;
    waitForPrefetch();
    const std::shared_ptr<PrefetchedIndex> done = std::move(prefetch);
    prefetch.reset();
    if (done->failure)
        std::rethrow_exception(done->failure);
    return done->built ? done->index : nullptr;
}

void Query::Private::indexPostedRow() {
    for (auto it = indexes.constBegin(); it != indexes.constEnd(); ++it) {
        const int column = table->names.indexOf(it.key());
        if (column < 0 || lastPosted.at(column).isNull())
            continue;
        it.value()->add(
            valueText(lastPosted.at(column), table->columns.at(column).kind, database.locale()),
            total() - 1);
    }
}

// INSERT naming only the written columns, prepared once per table and set of columns. An
// import writes the same columns into every row: the last statement is kept at hand.
PreparedInsert& Query::Private::insertStatement() {
    // SQL Server inside a transaction: a row of an array sent after an error has rolled the
    // transaction back must not be committed on its own (whether the server goes on with the
    // array's further rows or not), so each row is inserted only while the transaction lasts.
    const bool guarded = database.dialect() == Dialect::SqlServer && database.inTransaction();
    if (lastInsert && lastInsertTable == table && lastInsertWritten == pending.written &&
        lastInsertGuarded == guarded)
        return lastInsert;
    QList<int> columns;
    for (std::size_t i = 0; i < pending.written.size(); ++i) {
        if (pending.written[i])
            columns.append(static_cast<int>(i));
    }
    QList<int> key = columns; // -1 at its end: the guarded form
    if (guarded)
        key.append(-1);
    PreparedInsert& statement = table->inserts[key];
    lastInsertTable = table;
    lastInsertWritten = pending.written;
    lastInsertGuarded = guarded;
    if (statement) {
        lastInsert = statement;
        return lastInsert;
    }
    const Dialect dialect = database.dialect();
    QStringList names;
    QStringList marks;
    for (const int column : columns) {
        names.append(quotedIdentifier(table->columns.at(column).name, dialect));
        marks.append(QStringLiteral("?"));
    }
    const QString text =
        (guarded ? QStringLiteral("IF @@TRANCOUNT > 0 ") : QString()) +
        (columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES")
                                 .arg(quotedIdentifier(table->name, dialect))
                           : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(quotedIdentifier(table->name, dialect),
                                      names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    if (dialect == Dialect::Sqlite)
        statement.direct =
            DirectInsert::prepare(database.connection(), text, database.connectionWorker());
    if (dialect == Dialect::SqlServer && database.connection().driverName() == u"QODBC") {
        QList<ColumnInfo> written;
        for (const int column : columns)
            written.append(table->columns.at(column));
        statement.batched = std::make_shared<OdbcBatchInsert>(database.connection(), text, written);
    } else if (!statement.direct) {
        auto prepared = std::make_shared<QSqlQuery>(database.connection());
        prepared->setForwardOnly(true);
        if (!prepared->prepare(text))
            throw DatabaseError(sqlErrorMessage(prepared->lastError()));
        statement.qt = prepared;
    }
    lastInsert = statement;
    return lastInsert;
}

void Query::Private::postThroughQt(QSqlQuery& insert) {
    database.connection(); // waits for inserts running in the background
    const Dialect dialect = database.dialect();
    int bound = 0;
    for (std::size_t i = 0; i < pending.written.size(); ++i) {
        if (pending.written[i])
            insert.bindValue(bound++, bindableValue(pending.at(static_cast<int>(i)), dialect));
    }
    if (!insert.exec())
        throw DatabaseError(sqlErrorMessage(insert.lastError()));
    insert.finish(); // keeps the statement prepared, releases its hold on the connection
}

void Query::Private::postDirectly(DirectInsert& insert) {
    // The bound forms live here until the insert ran: texts are bound without a copy.
    bindable.resize(pending.written.size());
    int bound = 0;
    for (std::size_t i = 0; i < pending.written.size(); ++i) {
        if (!pending.written[i])
            continue;
        const QVariant& value = pending.values.at(static_cast<qsizetype>(i));
        ++bound;
        if (insert.holds(bound, value)) // a constant of the import, bound for an earlier row
            continue;
        // Dates are put in their stored form by the insert itself, off this thread.
        if (isBoundAsStored(value, Dialect::Sqlite) ||
            value.metaType() == QMetaType::fromType<QDateTime>()) {
            insert.bind(bound, value);
            continue;
        }
        bindable[i] = bindableValue(value, Dialect::Sqlite);
        insert.bind(bound, bindable[i]);
    }
    insert.exec();
}

void Query::Private::postBatched(const std::shared_ptr<OdbcBatchInsert>& insert) {
    std::vector<QVariant> row;
    row.reserve(pending.written.size());
    for (std::size_t i = 0; i < pending.written.size(); ++i) {
        if (pending.written[i])
            row.push_back(pending.values.at(static_cast<qsizetype>(i)));
    }
    database.queueInsert(insert);
    insert->add(std::move(row));
}

Query::Query(Database& database) : d(std::make_unique<Private>(database)) {}

Query::~Query() = default;

void Query::close() {
    d->reset();
}

void Query::setSql(const QString& statement) {
    close();
    d->sql = statement;
}

const QString& Query::sql() const {
    return d->sql;
}

void Query::open() {
    close();
    d->loadFirstPage();
    d->open = true;
    d->atEnd = d->baseCount == 0;
}

void Query::execSql() {
    d->settle(*this);
    d->database.execute(d->sql);
}

bool Query::isOpen() const {
    return d->open;
}

bool Query::eof() const {
    return !d->open || d->atEnd;
}

bool Query::isEmpty() const {
    return !d->open || d->total() == 0;
}

int Query::recNo() const {
    return d->open && d->total() > 0 ? static_cast<int>(d->position + 1) : 0;
}

void Query::next() {
    d->requireOpen();
    d->settle(*this);
    if (d->position + 1 < d->total())
        ++d->position;
    else
        d->atEnd = true;
}

void Query::prepareLocate(const QString& column) {
    d->requireOpen();
    const QString key = column.toCaseFolded();
    const int field = d->fieldNames.indexOf(column);
    ConnectionWorker* worker = d->database.connectionWorker();
    // A result held whole is indexed from memory; an error is left to locate() to report.
    if (!worker || d->wholeInWindow || d->postedCount > 0 || field < 0 || d->indexes.contains(key))
        return;
    d->waitForPrefetch();
    d->prefetch = std::make_shared<PrefetchedIndex>();
    d->prefetch->key = key;
    worker->runTask([d = d.get(), job = d->prefetch, name = d->fields.at(field)] {
        try {
            job->built = d->scanIntoIndex(*job->index, name, true);
        } catch (...) {
            job->failure = std::current_exception();
        }
    });
}

bool Query::locate(const QString& column, const QString& value) {
    d->requireOpen();
    d->settle(*this);
    const std::optional<LocateIndex::Hit> hit = d->indexFor(column).find(value);
    if (!hit)
        return false;
    d->position = hit->ordinal;
    d->atEnd = false;
    d->detachedOrdinal = -1;
    const bool inWindow =
        d->lastLocateInRowOrder && hit->ordinal < d->baseCount && d->wholeInWindow;
    if (!d->onLastPosted() && !inWindow) {
        d->detachedOrdinal = hit->ordinal;
        d->detachedColumn = d->fields.at(d->fieldNames.indexOf(column));
        d->detachedValue = hit->value;
        d->detachedRow.reset();
    }
    return true;
}

QString Query::fieldText(const QString& column) const {
    d->requireOpen();
    if (d->appending)
        return d->tableFieldText(d->pending, column);
    if (d->onLastPosted())
        return d->tableFieldText(d->lastPosted, column);
    return d->resultFieldText(column);
}

void Query::append() {
    d->requireOpen();
    d->settle(*this);
    const TableMeta& table = d->targetTable();
    // The row posted before last is reused: its values read as NULL until written again.
    if (d->pending.values.size() != table.columns.size())
        d->pending.values = ResultRow(table.columns.size());
    d->pending.written.assign(static_cast<std::size_t>(table.columns.size()), false);
    d->appending = true;
}

namespace {

DatabaseError notInsertMode() {
    return DatabaseError(
        QCoreApplication::translate("Database", "Dataset not in edit or insert mode"));
}

int writableColumn(const TableMeta* table, const QString& column, bool appending) {
    if (!appending || !table)
        throw notInsertMode();
    const int index = table->names.indexOf(column);
    if (index < 0)
        throw DatabaseError(fieldNotFoundMessage(column));
    return index;
}

} // namespace

void Query::setField(const QString& column, const QString& text) {
    setFieldAt(writableColumn(d->table.get(), column, d->appending), text);
}

void Query::setFieldNumber(const QString& column, double value) {
    setFieldNumberAt(writableColumn(d->table.get(), column, d->appending), value);
}

int Query::tableColumn(const QString& column) const {
    d->requireOpen();
    return d->targetTable().names.indexOf(column);
}

void Query::setFieldAt(int column, const QString& text) {
    setStoredAt(column, storedValueAt(column, text));
}

void Query::setFieldNumberAt(int column, double value) {
    setStoredAt(column, storedNumberAt(column, value));
}

QVariant Query::storedValueAt(int column, const QString& text) const {
    if (!d->appending || !d->table)
        throw notInsertMode();
    return d->converter.convert(d->table->columns.at(column), text, d->database.locale());
}

QVariant Query::storedNumberAt(int column, double value) const {
    if (!d->appending || !d->table)
        throw notInsertMode();
    return convertNumber(d->table->columns.at(column), value, d->database.locale());
}

void Query::setStoredAt(int column, const QVariant& stored) {
    if (!d->appending || !d->table)
        throw notInsertMode();
    // The reused list mostly holds this very value already: a constant of the import, copied
    // for the row before last. Equal to the byte means the same type and value (or the same
    // shared data); Qt zeroes a variant's storage before filling it.
    QVariant& value = d->pending.values[column];
    if (std::memcmp(&value.data_ptr(), &stored.data_ptr(), sizeof(QVariant::Private)) != 0)
        value = stored;
    d->pending.written[static_cast<std::size_t>(column)] = true;
}

QString Query::fieldTextAt(int column) const {
    d->requireOpen();
    if (!d->table)
        throw closedDataset();
    const NewRow* row = d->appending ? &d->pending : d->onLastPosted() ? &d->lastPosted : nullptr;
    if (!row)
        return fieldText(d->table->columns.at(column).name);
    return valueText(row->at(column), d->table->columns.at(column).kind, d->database.locale());
}

void Query::post() {
    if (!d->appending)
        throw notInsertMode();
    PreparedInsert& insert = d->insertStatement();
    if (insert.batched)
        d->postBatched(insert.batched);
    else if (insert.direct)
        d->postDirectly(*insert.direct);
    else
        d->postThroughQt(*insert.qt);
    d->appending = false;
    std::swap(d->lastPosted, d->pending);
    ++d->postedCount;
    d->position = d->total() - 1;
    d->atEnd = false;
    d->detachedOrdinal = -1;
    d->indexPostedRow();
}

} // namespace kestrel
