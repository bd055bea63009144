#pragma once

#include "run/block_record.h"

#include <QString>

namespace kestrel {

// The import log next to the program: one dated section per block, in Chinese whatever the
// locale (the chain's staff read the logs of every branch side by side), appended to a UTF-8
// file that begins with a byte order mark so that Notepad on a Chinese Windows reads it, with
// CRLF line ends. The file is never rewritten.
QString importLogFileName(); // "导入记录.txt"

// The section of one block, ending with an empty line.
QString importLogSection(const BlockRecord& record);

// Appends text to the file, writing the byte order mark first when the file is new or empty.
// False, with the reason, when it cannot.
bool appendToImportLog(const QString& path, const QString& text, QString& reason);

// The log of a shell that runs imports one after another.
class ImportLog {
public:
    // Appends the record's section to the log in folder. Gives the message to show when the
    // log cannot be written, the first time only: the import goes on regardless.
    QString append(const QString& folder, const BlockRecord& record);

private:
    bool m_failureReported = false;
};

} // namespace kestrel
