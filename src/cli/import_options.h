#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kestrel::cli {

// Exit statuses of kestrel-import.
enum ExitStatus : int {
    ExitCompleted = 0,
    ExitCheckFailed = 1,
    ExitImportError = 2,
    ExitDatabaseUnavailable = 3,
    ExitUsage = 64,
};

// The command line of kestrel-import, parsed.
struct ImportOptions {
    QString dir;                        // folder of "Kestrel.ini" and the templates
    std::optional<QString> hotelTreeId; // identity options: used when there is no Sys_System
    std::optional<QString> hotelId;
    std::optional<QString> hotelName;
    bool checkOnly = false;
    bool verify = false;  // look every template row's key up in the database; write nothing
    QString recordFile;   // the run's block records as JSON; empty: none
    bool summary = false; // one line per block after its completion message
    bool help = false;
    QStringList imports; // command-line import names, in the order given

    bool anyIdentityOption() const {
        return hotelTreeId.has_value() || hotelId.has_value() || hotelName.has_value();
    }
};

// The outcome of parsing: the options, or the reason the command line is not usable.
struct ParsedOptions {
    ImportOptions options;
    QString error; // empty when the command line is usable
};

// Parses the arguments after the program name. defaultDir stands in when --dir is absent.
// Import names are collected as given; the caller checks them against the imports there are.
ParsedOptions parseImportOptions(const QStringList& arguments, const QString& defaultDir);

QString usageText();

} // namespace kestrel::cli
