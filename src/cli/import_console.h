#pragma once

#include "run/block_record.h"
#include "run/run_observer.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace kestrel::cli {

// Writes one line of UTF-8 text to a standard stream and flushes it.
void writeLine(std::FILE* stream, const QString& text);
// True when standard error is a terminal (progress is shown only then).
bool standardErrorIsTerminal();
// Makes the Windows console show UTF-8 output; nothing elsewhere.
void useUtf8Console();

// The command-line face of a run: message-box texts go to standard output, one per line; the
// standard error box and warnings to standard error; progress to standard error on a terminal.
class ConsoleObserver : public RunObserver {
public:
    explicit ConsoleObserver(bool showProgress);
    ~ConsoleObserver() override;

    void captionChanged(const QString& caption) override;
    void progressReset(int maximum) override;
    void progressChanged(int position) override;
    void information(const QString& text) override;
    void error(const QString& text) override;
    void identityTrimmed(const BranchIdentity& identity) override;
    // Kept for --record; with --summary also printed as one line.
    void blockRecorded(const BlockRecord& record) override;

    void printSummaries(bool print) { m_printSummaries = print; }
    const QList<BlockRecord>& records() const { return m_records; }

    void warning(const QString& text);
    // Clears the progress line so that the terminal is left tidy.
    void endProgress();

private:
    void drawProgress(bool force);

    bool m_showProgress;
    QString m_caption;
    int m_maximum = 0;
    int m_position = 0;
    int m_drawnWidth = 0; // terminal columns of the progress line on screen; 0 when none
    QElapsedTimer m_sinceDraw;
    bool m_printSummaries = false;
    QList<BlockRecord> m_records;
};

} // namespace kestrel::cli
