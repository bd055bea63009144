#pragma once

#include <QString>

namespace kestrel {

// The branch identity of the main window's three edit boxes.
struct BranchIdentity {
    QString hotelTreeId; // 集团号
    QString hotelId;     // 分店号
    QString hotelName;   // 分店名
};

struct BlockRecord;

// How the engine reports to the shell that runs it (the window or the command-line tool).
// The engine never shows anything itself.
class RunObserver {
public:
    virtual ~RunObserver() = default;

    // The window caption during a run ("当前第1记录,卡芯号：A1").
    virtual void captionChanged(const QString& caption) = 0;
    // The progress bar: minimum 0, this maximum, position 0.
    virtual void progressReset(int maximum) = 0;
    virtual void progressChanged(int position) = 0;
    // A message box with one OK button: identity messages, row messages, completion messages.
    virtual void information(const QString& text) = 0;
    // The standard error box: database, workbook and conversion errors.
    virtual void error(const QString& text) = 0;
    // The trimmed branch identity, to be written back into the edit boxes.
    virtual void identityTrimmed(const BranchIdentity& identity) = 0;
    // What a block of an import did, when it ended (after its completion message, row message
    // or error). Not called in check mode.
    virtual void blockRecorded(const BlockRecord& /*record*/) {}
};

} // namespace kestrel
