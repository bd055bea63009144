#include "cli/import_console.h"

#include "cli/record_output.h"

#include <QCoreApplication>

#include <algorithm>

#ifdef _WIN32
#define NOMINMAX
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kestrel::cli {

namespace {

constexpr qint64 redrawIntervalMs = 100;

// Terminal columns of a text: East Asian wide characters take two.
int displayWidth(const QString& text) {
    int width = 0;
    for (const QChar character : text)
        width += character.unicode() >= 0x1100 ? 2 : 1;
    return width;
}

} // namespace

void writeLine(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

bool standardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void useUtf8Console() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
}

ConsoleObserver::ConsoleObserver(bool showProgress) : m_showProgress(showProgress) {
    m_sinceDraw.start();
}

ConsoleObserver::~ConsoleObserver() {
    endProgress();
}

// Each row sets the position, then the caption: the caption completes the row's progress line.
void ConsoleObserver::captionChanged(const QString& caption) {
    m_caption = caption;
    drawProgress(m_position >= m_maximum);
}

void ConsoleObserver::progressReset(int maximum) {
    m_maximum = maximum;
    m_position = 0;
    drawProgress(true);
}

void ConsoleObserver::progressChanged(int position) {
    m_position = position;
}

void ConsoleObserver::information(const QString& text) {
    endProgress();
    writeLine(stdout, text);
}

void ConsoleObserver::error(const QString& text) {
    endProgress();
    writeLine(stderr, text);
}

void ConsoleObserver::identityTrimmed(const BranchIdentity&) {}

void ConsoleObserver::blockRecorded(const BlockRecord& record) {
    m_records.append(record);
    if (!m_printSummaries)
        return;
    endProgress();
    writeLine(stdout, summaryLine(record));
}

void ConsoleObserver::warning(const QString& text) {
    endProgress();
    writeLine(
        stderr,
        QCoreApplication::translate("kestrel-import", "kestrel-import: warning: %1").arg(text));
}

void ConsoleObserver::endProgress() {
    if (m_drawnWidth == 0)
        return;
    const QByteArray blank = '\r' + QByteArray(m_drawnWidth, ' ') + '\r';
    std::fwrite(blank.constData(), 1, static_cast<std::size_t>(blank.size()), stderr);
    std::fflush(stderr);
    m_drawnWidth = 0;
}

// Redraws at most every redrawIntervalMs so that a long run is not slowed by the terminal.
void ConsoleObserver::drawProgress(bool force) {
    if (!m_showProgress || (!force && m_sinceDraw.elapsed() < redrawIntervalMs))
        return;
    m_sinceDraw.restart();
    const QString line =
        QStringLiteral("%1  [%2/%3]").arg(m_caption).arg(m_position).arg(m_maximum);
    const int width = displayWidth(line);
    QByteArray bytes = '\r' + line.toUtf8();
    if (width < m_drawnWidth)
        bytes += QByteArray(m_drawnWidth - width, ' ');
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    m_drawnWidth = std::max(width, m_drawnWidth);
}

} // namespace kestrel::cli
