#include "database/db_sqlite_direct.h"

#include "database/db_sql_text.h"
#include "text/errors.h"

#include <QSqlDriver>

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
};

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
    return std::unique_ptr<DirectInsert>(new DirectInsert(std::move(d)));
}

DirectInsert::~DirectInsert() {
    sqlite3_finalize(d->statement);
}

void DirectInsert::bind(int position, const QVariant& value) {
    int rc = SQLITE_OK;
    const int type = value.metaType().id();
    if (value.isNull() ||
        (type == QMetaType::QString && static_cast<const QString*>(value.constData())->isNull())) {
        rc = sqlite3_bind_null(d->statement, position);
    } else if (type == QMetaType::QString) {
        const QString& text = *static_cast<const QString*>(value.constData());
        rc = sqlite3_bind_text16(d->statement, position, text.utf16(), int(text.size() * 2),
                                 SQLITE_STATIC);
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
    if (rc != SQLITE_OK)
        throw sqliteError(d->db);
}

void DirectInsert::exec() {
    const int rc = sqlite3_step(d->statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        const DatabaseError error = sqliteError(d->db);
        sqlite3_reset(d->statement);
        sqlite3_clear_bindings(d->statement);
        throw error;
    }
    sqlite3_reset(d->statement);
    sqlite3_clear_bindings(d->statement);
}

#else

struct DirectInsert::Private {};

std::unique_ptr<DirectInsert> DirectInsert::prepare(QSqlDatabase&, const QString&) {
    return nullptr;
}

DirectInsert::~DirectInsert() = default;
void DirectInsert::bind(int, const QVariant&) {}
void DirectInsert::exec() {}

#endif

DirectInsert::DirectInsert(std::unique_ptr<Private> data) : d(std::move(data)) {}

} // namespace kestrel
