#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kestrel::test {

// The SQL Server 2000 stand-in of tds_stand_in.py (test equipment): a TDS 7.1 listener on a free
// loopback port that keeps its tables in an SQLite file and logs every request. Started by the
// constructor, stopped by the destructor (and by itself after ten minutes).
class SqlServerStandIn {
public:
    struct Options {
        QString collation = QStringLiteral("Chinese_PRC_CI_AS"); // or SQL_Latin1_General_CP1_CI_AS
        QStringList schema; // SQLite statements with SQL Server's type names
        double delayMs = 0; // a wait before each answer, standing for a network
    };

    // Files go to folder. started() tells whether it listens; why not is in failure().
    SqlServerStandIn(const QString& folder, const Options& options);
    ~SqlServerStandIn();
    SqlServerStandIn(const SqlServerStandIn&) = delete;
    SqlServerStandIn& operator=(const SqlServerStandIn&) = delete;

    bool started() const { return m_port != 0; }
    QString failure() const { return m_failure; }
    int port() const { return m_port; }
    QString databaseFile() const { return m_folder + QStringLiteral("/server.db"); }

    // A "Kestrel.ini" in folder that reaches the stand-in as a branch would, through FreeTDS:
    // dbserver=127.0.0.1,PORT; with linkMode "NT", integrated login.
    QString writeSettings(const QString& folder, const QString& linkMode = QString()) const;

    // The requests logged so far, one object each: kind ("batch", "rpc", "attention", "login",
    // "error", "disconnect"), request (the round trip's number on its connection), text, proc,
    // types, trancount.
    QList<QJsonObject> log() const;
    void clearLog() const;
    // Waits until the log holds an entry satisfying accept; false after timeoutMs.
    template <typename Accept> bool waitForLog(Accept accept, int timeoutMs) const;

private:
    bool logHolds(const std::function<bool(const QJsonObject&)>& accept) const;
    bool waitFor(const std::function<bool(const QJsonObject&)>& accept, int timeoutMs) const;

    QString m_folder;
    QProcess m_process;
    int m_port = 0;
    QString m_failure;
};

template <typename Accept> bool SqlServerStandIn::waitForLog(Accept accept, int timeoutMs) const {
    return waitFor(accept, timeoutMs);
}

} // namespace kestrel::test
