#include "database/db_sqlite_direct.h"

#include "database/db_connection_worker.h"
#include "database/db_sql_text.h"
#include "database/db_value_conversion.h"
#include "text/errors.h"

#include <QSqlDriver>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#ifdef KESTREL_SQLITE_DIRECT
#include <dlfcn.h>
#include <sqlite3.h>
#endif

namespace kestrel {

#ifdef KESTREL_SQLITE_DIRECT

namespace {

// True when the module holding the connection's driver resolves SQLite to the very library this
// program calls: a driver with a copy of SQLite of its own has handles no other copy may touch.
bool driverSharesOurSqlite(QSqlDatabase& connection) {
    const QSqlDriver* driver = connection.driver();
    Dl_info info{};
    if (!driver || !dladdr(*reinterpret_cast<void* const*>(driver), &info) || !info.dli_fname)
        return false;
    void* module = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!module)
        return false;
    void* theirs = dlsym(module, "sqlite3_libversion");
    dlclose(module);
    return theirs == reinterpret_cast<void*>(&sqlite3_libversion);
}

sqlite3* directHandle(QSqlDatabase& connection) {
    const QVariant handle = connection.driver() ? connection.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    sqlite3* db = *static_cast<sqlite3* const*>(handle.constData());
    if (!db)
        return nullptr;
    static const bool shared = driverSharesOurSqlite(connection);
    return shared ? db : nullptr;
}

DatabaseError sqliteError(sqlite3* db) {
    return DatabaseError(explainedDatabaseMessage(QString::fromUtf8(sqlite3_errmsg(db))));
}

} // namespace

struct DirectInsert::Private {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    ConnectionWorker* worker = nullptr;
    // Per bound position, the UTF-8 form of its latest plain ASCII text: SQLite would otherwise
    // allocate a converted copy of every text it is handed as UTF-16.
    std::vector<std::string> narrowed;
    // Per position, the value bound now: the copy kept here keeps a text SQLite points to
    // alive. Used by the thread that runs the statement.
    std::vector<QVariant> bound;
    // Per position, the value last given to bind(), bound now or queued to be. An import
    // writes the same constants into every row: a value given already is not given again
    // (each bind takes SQLite's connection lock). Used by the caller's thread only.
    std::vector<QVariant> given;

    bool inBackground() const { return worker && worker->running(); }
    int bindText(int position, const QString& text);
    int bindDateTime(int position, QVariant& value);
    void forgetBound() {
        sqlite3_clear_bindings(statement);
        std::fill(bound.begin(), bound.end(), QVariant());
    }
    void forgetGiven() { std::fill(given.begin(), given.end(), QVariant()); }
};

namespace {

// True when binding b where a is bound changes nothing: the same type and an equal value. The
// variants' own fields are read, not Qt's accessors: this runs for every value of every row,
// and most are the constants of the import, bound for the first row.
bool sameBinding(const QVariant& a, const QVariant& b) {
    const QVariant::Private& x = a.data_ptr();
    const QVariant::Private& y = b.data_ptr();
    if (std::memcmp(&x, &y, sizeof x) == 0) // a copy of the value bound (storage is zeroed first)
        return true;
    if (x.packedType != y.packedType || x.is_null != y.is_null || x.is_shared != y.is_shared)
        return false;
    if (x.is_null)
        return true;
    if (x.is_shared)
        return x.data.shared == y.data.shared; // one value held by both
    switch (x.type().id()) {
    case QMetaType::QString:
        return x.get<QString>().isNull() == y.get<QString>().isNull() &&
               x.get<QString>() == y.get<QString>();
    case QMetaType::Int:
        return x.get<int>() == y.get<int>();
    case QMetaType::UInt:
        return x.get<uint>() == y.get<uint>();
    case QMetaType::Bool:
        return x.get<bool>() == y.get<bool>();
    case QMetaType::LongLong:
        return x.get<qlonglong>() == y.get<qlonglong>();
    case QMetaType::Double:
        return std::memcmp(&x.get<double>(), &y.get<double>(), sizeof(double)) == 0;
    default:
        return false;
    }
}

} // namespace

int DirectInsert::Private::bindText(int position, const QString& text) {
    // Sized once when prepared: growing would move short texts bound before out of place.
    std::string& bytes = narrowed.at(static_cast<std::size_t>(position - 1));
    bytes.resize(static_cast<std::size_t>(text.size()));
    const ushort* units = text.utf16();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (units[i] >= 0x80) // SQLite converts the rest as it always did
            return sqlite3_bind_text16(statement, position, units, int(text.size() * 2),
                                       SQLITE_STATIC);
        bytes[i] = static_cast<char>(units[i]);
    }
    return sqlite3_bind_text(statement, position, bytes.data(), int(bytes.size()), SQLITE_STATIC);
}

// Dates are bound in the form this program stores them, written into the position's buffer; on
// the worker thread, where inserts run in the background, this costs the caller nothing.
int DirectInsert::Private::bindDateTime(int position, QVariant& value) {
    std::string& bytes = narrowed.at(static_cast<std::size_t>(position - 1));
    bytes.resize(kStorageDateChars);
    if (storageDateChars(*static_cast<const QDateTime*>(value.constData()), bytes.data()))
        return sqlite3_bind_text(statement, position, bytes.data(), kStorageDateChars,
                                 SQLITE_STATIC);
    value = bindableValue(value, Dialect::Sqlite); // kept while bound
    const auto* text = static_cast<const QString*>(value.constData());
    if (value.metaType().id() != QMetaType::QString || text->isNull())
        return sqlite3_bind_null(statement, position);
    return bindText(position, *text);
}

std::unique_ptr<DirectInsert> DirectInsert::prepare(QSqlDatabase& connection, const QString& sql,
                                                    ConnectionWorker* worker) {
    sqlite3* db = directHandle(connection);
    if (!db)
        return nullptr;
    auto d = std::make_unique<Private>();
    d->db = db;
    d->worker = worker;
    if (sqlite3_prepare16_v3(db, sql.utf16(), int(sql.size() * 2), SQLITE_PREPARE_PERSISTENT,
                             &d->statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(d->statement);
        throw sqliteError(db);
    }
    const auto parameters = static_cast<std::size_t>(sqlite3_bind_parameter_count(d->statement));
    d->narrowed.resize(parameters);
    d->bound.resize(parameters);
    d->given.resize(parameters);
    return std::unique_ptr<DirectInsert>(new DirectInsert(std::move(d)));
}

DirectInsert::~DirectInsert() {
    if (d->worker)
        d->worker->forget(*this);
    sqlite3_finalize(d->statement);
}

bool DirectInsert::holds(int position, const QVariant& value) const {
    return sameBinding(d->given[static_cast<std::size_t>(position - 1)], value);
}

void DirectInsert::bind(int position, const QVariant& value) {
    QVariant& given = d->given.at(static_cast<std::size_t>(position - 1));
    if (sameBinding(given, value))
        return;
    if (d->inBackground()) {
        d->worker->bind(*this, position, value);
    } else {
        try {
            bindNow(position, QVariant(value));
        } catch (...) {
            d->forgetGiven();
            throw;
        }
    }
    given = value;
}

void DirectInsert::exec() {
    if (d->inBackground()) {
        d->worker->exec(*this);
        return;
    }
    try {
        execNow();
    } catch (...) {
        d->forgetGiven();
        throw;
    }
}

void DirectInsert::bindNow(int position, QVariant&& given) {
    QVariant& value = d->bound.at(static_cast<std::size_t>(position - 1));
    value = std::move(given); // kept while bound: SQLite reads texts in place
    int rc = SQLITE_OK;
    const int type = value.metaType().id();
    if (value.isNull() ||
        (type == QMetaType::QString && static_cast<const QString*>(value.constData())->isNull())) {
        rc = sqlite3_bind_null(d->statement, position);
    } else if (type == QMetaType::QString) {
        rc = d->bindText(position, *static_cast<const QString*>(value.constData()));
    } else if (type == QMetaType::QDateTime) {
        rc = d->bindDateTime(position, value);
    } else if (type == QMetaType::Int || type == QMetaType::Bool) {
        rc = sqlite3_bind_int(d->statement, position, value.toInt());
    } else if (type == QMetaType::LongLong || type == QMetaType::UInt) {
        rc = sqlite3_bind_int64(d->statement, position, value.toLongLong());
    } else if (type == QMetaType::Double) {
        rc = sqlite3_bind_double(d->statement, position, value.toDouble());
    } else {
        const QString text = value.toString();
        rc = sqlite3_bind_text16(d->statement, position, text.utf16(), int(text.size() * 2),
                                 SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) {
        const DatabaseError error = sqliteError(d->db);
        d->forgetBound();
        throw error;
    }
}

void DirectInsert::execNow() {
    const int rc = sqlite3_step(d->statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        const DatabaseError error = sqliteError(d->db);
        sqlite3_reset(d->statement);
        d->forgetBound();
        throw error;
    }
    sqlite3_reset(d->statement); // the bindings stay for the next row
}

void DirectInsert::clearBindings() noexcept {
    d->forgetBound();
    d->forgetGiven();
}

namespace {

// A value other than text in the form Qt's SQLite driver gives it (doubles at low precision).
QVariant qtValue(sqlite3_stmt* statement) {
    switch (sqlite3_column_type(statement, 0)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(statement, 0)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, 0));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                                   sqlite3_column_bytes(statement, 0)));
    default:
        return QVariant(QMetaType::fromType<QString>());
    }
}

// The text of the first column. Texts in plain ASCII, as keys mostly are, are widened here into
// the reused buffer: SQLite's own conversion to UTF-16 allocates for every value.
QStringView textOf(sqlite3_stmt* statement, std::u16string& buffer) {
    const auto* bytes = sqlite3_column_text(statement, 0);
    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, 0));
    buffer.resize(size);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] >= 0x80) {
            const auto* units = static_cast<const char16_t*>(sqlite3_column_text16(statement, 0));
            return QStringView(units, sqlite3_column_bytes16(statement, 0) / 2);
        }
        buffer[i] = bytes[i];
    }
    return QStringView(buffer.data(), static_cast<qsizetype>(size));
}

// Finalizes the statement however the scan ends.
struct StatementGuard {
    sqlite3_stmt* statement = nullptr;
    ~StatementGuard() { sqlite3_finalize(statement); }
};

} // namespace

bool scanFirstColumnDirectly(QSqlDatabase& connection, const QString& sql,
                             const DirectColumnVisitor& visit) {
    sqlite3* db = directHandle(connection);
    if (!db)
        return false;
    StatementGuard guard;
    if (sqlite3_prepare16_v2(db, sql.utf16(), int(sql.size() * 2), &guard.statement, nullptr) !=
        SQLITE_OK)
        throw sqliteError(db);
    std::u16string widened;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(guard.statement)) == SQLITE_ROW) {
        if (sqlite3_column_type(guard.statement, 0) == SQLITE_TEXT) {
            visit(textOf(guard.statement, widened), nullptr);
        } else {
            const QVariant other = qtValue(guard.statement);
            visit(QStringView(), &other);
        }
    }
    if (rc != SQLITE_DONE)
        throw sqliteError(db);
    return true;
}

#else

struct DirectInsert::Private {};

std::unique_ptr<DirectInsert> DirectInsert::prepare(QSqlDatabase&, const QString&,
                                                    ConnectionWorker*) {
    return nullptr;
}

DirectInsert::~DirectInsert() = default;
void DirectInsert::bind(int, const QVariant&) {}
bool DirectInsert::holds(int, const QVariant&) const {
    return false;
}
void DirectInsert::exec() {}
void DirectInsert::bindNow(int, QVariant&&) {}
void DirectInsert::execNow() {}
void DirectInsert::clearBindings() noexcept {}

bool scanFirstColumnDirectly(QSqlDatabase&, const QString&, const DirectColumnVisitor&) {
    return false;
}

#endif

DirectInsert::DirectInsert(std::unique_ptr<Private> data) : d(std::move(data)) {}

} // namespace kestrel
