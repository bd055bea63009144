#include "run/block_record.h"

#include "database/database.h"

#include <QSqlQuery>
#include <QVariant>

namespace kestrel {

DatabaseLocation databaseLocation(Database& database) {
    DatabaseLocation location;
    QSqlQuery query(database.connection());
    if (database.dialect() == Dialect::SqlServer) {
        // The server's own name, not the one typed in the settings: the same server reached by
        // an address or an alias is named alike.
        if (query.exec(QStringLiteral("Select @@SERVERNAME, DB_NAME()")) && query.next()) {
            location.server = query.value(0).toString();
            location.name = query.value(1).toString();
        }
    } else if (query.exec(QStringLiteral("PRAGMA database_list"))) {
        while (query.next()) {
            if (query.value(1).toString() == QLatin1String("main"))
                location.file = query.value(2).toString();
        }
    }
    return location;
}

} // namespace kestrel
