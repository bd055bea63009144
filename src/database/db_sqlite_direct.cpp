#include "database/db_sqlite_direct.h"

#include "database/db_sql_text.h"
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
    // Per bound position, the UTF-8 form of its latest plain ASCII text: SQLite would otherwise
    // allocate a converted copy of every text it is handed as UTF-16.
    std::vector<std::string> narrowed;
    // Per position, the value bound now. An import writes the same constants into every row:
    // a value already bound is not bound again (each bind takes SQLite's connection lock), and
    // the copy kept here keeps a text SQLite points to alive.
    std::vector<QVariant> bound;

    int bindText(int position, const QString& text);
    void forgetBindings() { std::fill(bound.begin(), bound.end(), QVariant()); }
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

std::unique_ptr<DirectInsert> DirectInsert::prepare(QSqlDatabase& connection, const QString& sql) {
    sqlite3* db = directHandle(connection);
    if (!db)
        return nullptr;
    auto d = std::make_unique<Private>();
    d->db = db;
    if (sqlite3_prepare16_v3(db, sql.utf16(), int(sql.size() * 2), SQLITE_PREPARE_PERSISTENT,
                             &d->statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(d->statement);
        throw sqliteError(db);
    }
    const auto parameters = static_cast<std::size_t>(sqlite3_bind_parameter_count(d->statement));
    d->narrowed.resize(parameters);
    d->bound.resize(parameters);
    return std::unique_ptr<DirectInsert>(new DirectInsert(std::move(d)));
}

DirectInsert::~DirectInsert() {
    sqlite3_finalize(d->statement);
}

bool DirectInsert::holds(int position, const QVariant& value) const {
    return sameBinding(d->bound[static_cast<std::size_t>(position - 1)], value);
}

void DirectInsert::bind(int position, const QVariant& value) {
    QVariant& bound = d->bound.at(static_cast<std::size_t>(position - 1));
    if (sameBinding(bound, value))
        return;
    int rc = SQLITE_OK;
    const int type = value.metaType().id();
    if (value.isNull() ||
        (type == QMetaType::QString && static_cast<const QString*>(value.constData())->isNull())) {
        rc = sqlite3_bind_null(d->statement, position);
    } else if (type == QMetaType::QString) {
        rc = d->bindText(position, *static_cast<const QString*>(value.constData()));
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
        sqlite3_clear_bindings(d->statement); // every position NULL, as forgotten here
        d->forgetBindings();
        throw error;
    }
    bound = value;
}

void DirectInsert::exec() {
    const int rc = sqlite3_step(d->statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        const DatabaseError error = sqliteError(d->db);
        sqlite3_reset(d->statement);
        sqlite3_clear_bindings(d->statement);
        d->forgetBindings();
        throw error;
    }
    sqlite3_reset(d->statement); // the bindings stay for the next row
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

std::unique_ptr<DirectInsert> DirectInsert::prepare(QSqlDatabase&, const QString&) {
    return nullptr;
}

DirectInsert::~DirectInsert() = default;
void DirectInsert::bind(int, const QVariant&) {}
bool DirectInsert::holds(int, const QVariant&) const {
    return false;
}
void DirectInsert::exec() {}

bool scanFirstColumnDirectly(QSqlDatabase&, const QString&, const DirectColumnVisitor&) {
    return false;
}

#endif

DirectInsert::DirectInsert(std::unique_ptr<Private> data) : d(std::move(data)) {}

} // namespace kestrel
