#include "app/import_thread.h"

#include "database/connection.h"
#include "importers/importers.h"
#include "text/errors.h"

#include <QEventLoop>
#include <QThread>

namespace kestrel {

ImportThread::ImportThread(ImportKind kind, ThreadRunSettings settings, RunObserver& observer)
    : m_kind(kind), m_settings(std::move(settings)), m_observer(observer) {}

ImportThread::~ImportThread() {
    if (m_thread) {
        requestStop();
        wait();
    }
}

void ImportThread::start() {
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->start();
}

void ImportThread::waitInEventLoop() {
    if (!m_thread || m_thread->isFinished())
        return;
    QEventLoop loop;
    QObject::connect(m_thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    if (!m_thread->isFinished()) // it may have ended before the connection was made
        loop.exec();
}

bool ImportThread::finished() const {
    return !m_thread || m_thread->isFinished();
}

void ImportThread::wait() {
    if (m_thread)
        m_thread->wait();
}

// The connection opened here is closed here, before the thread ends.
void ImportThread::run() {
    std::unique_ptr<Database> database;
    try {
        database = openBranchDatabase(m_settings.settingsPath);
    } catch (const Error& failure) {
        m_observer.error(failure.message());
        m_outcome = RunOutcome::Error;
        return;
    } catch (const std::exception& failure) {
        m_observer.error(QString::fromLocal8Bit(failure.what()));
        m_outcome = RunOutcome::Error;
        return;
    }
    RunContext context(*database, m_observer);
    context.templateFolder = m_settings.templateFolder;
    context.identity = m_settings.identity;
    context.locale = m_settings.locale;
    context.openWorkbook = m_settings.openWorkbook;
    context.stopRequested = &m_stop;
    m_outcome = runImport(m_kind, context);
}

} // namespace kestrel
