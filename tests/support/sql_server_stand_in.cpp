#include "sql_server_stand_in.h"

#include "test_paths.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTextStream>
#include <QThread>

namespace kestrel::test {

namespace {

constexpr int kStartMs = 30000;
constexpr int kLifetimeSeconds = 600;

} // namespace

SqlServerStandIn::SqlServerStandIn(const QString& folder, const Options& options)
    : m_folder(folder) {
    QFile schema(folder + QStringLiteral("/server-schema.sql"));
    if (!schema.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_failure = QStringLiteral("cannot write ") + schema.fileName();
        return;
    }
    for (const QString& statement : options.schema)
        schema.write((statement + QStringLiteral(";\n")).toUtf8());
    schema.close();
    const QString portFile = folder + QStringLiteral("/server.port");
    QFile::remove(portFile);
    QFile::remove(databaseFile());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("python3"),
                    {sourceDir() + QStringLiteral("/tests/support/tds_stand_in.py"),
                     QStringLiteral("--db"), databaseFile(), QStringLiteral("--schema"),
                     schema.fileName(), QStringLiteral("--collation"), options.collation,
                     QStringLiteral("--log"), folder + QStringLiteral("/server-log.jsonl"),
                     QStringLiteral("--port-file"), portFile, QStringLiteral("--delay-ms"),
                     QString::number(options.delayMs), QStringLiteral("--lifetime"),
                     QString::number(kLifetimeSeconds)});
    const QDeadlineTimer deadline(kStartMs);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        QFile port(portFile);
        if (port.open(QIODevice::ReadOnly)) {
            m_port = port.readAll().trimmed().toInt();
            return;
        }
        m_process.waitForFinished(50);
    }
    m_failure = QStringLiteral("the stand-in did not start: ") +
                QString::fromUtf8(m_process.readAllStandardOutput());
}

SqlServerStandIn::~SqlServerStandIn() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString SqlServerStandIn::writeSettings(const QString& folder, const QString& linkMode) const {
    const QString path = folder + QStringLiteral("/Kestrel.ini");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream out(&file);
        out << "[Kestrel]\ndbserver=127.0.0.1," << m_port
            << "\ndbname=branch\ndbUserID=sa\ndbPassword=secret\n";
        if (!linkMode.isEmpty())
            out << "LinkMode=" << linkMode << "\n";
    }
    return path;
}

QList<QJsonObject> SqlServerStandIn::log() const {
    QList<QJsonObject> entries;
    QFile file(m_folder + QStringLiteral("/server-log.jsonl"));
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.endsWith('\n')) // a line still being written is left for later
            entries.append(QJsonDocument::fromJson(line).object());
    }
    return entries;
}

void SqlServerStandIn::clearLog() const {
    QFile::resize(m_folder + QStringLiteral("/server-log.jsonl"), 0);
}

bool SqlServerStandIn::logHolds(const std::function<bool(const QJsonObject&)>& accept) const {
    const QList<QJsonObject> entries = log();
    return std::any_of(entries.begin(), entries.end(), accept);
}

bool SqlServerStandIn::waitFor(const std::function<bool(const QJsonObject&)>& accept,
                               int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (!logHolds(accept)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace kestrel::test
