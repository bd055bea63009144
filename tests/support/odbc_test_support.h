#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QUuid>
#include <gtest/gtest.h>

namespace kestrel::test {

// The connection string of the SQLite ODBC driver ("SQLite3", Debian's libsqliteodbc) for a
// database file, as a branch would write it in "odbcconnect".
inline QString sqliteOdbcConnectString(const QString& file) {
    return QStringLiteral("Driver=SQLite3;Database=") + file;
}

// True when QODBC can reach the SQLite ODBC driver. scripts/install-deps.sh installs and
// registers it on Linux, where its absence is a failure rather than a reason to skip.
inline bool sqliteOdbcDriverAvailable() {
    bool available = false;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        connection.setDatabaseName(sqliteOdbcConnectString(QStringLiteral(":memory:")));
        available = connection.open();
        connection.close();
    }
    QSqlDatabase::removeDatabase(name);
#ifdef Q_OS_LINUX
    EXPECT_TRUE(available) << "the SQLite3 ODBC driver is missing: run scripts/install-deps.sh";
#endif
    return available;
}

} // namespace kestrel::test
