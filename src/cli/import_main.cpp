// kestrel-import: the window's imports without the window, for scripted migrations and checks.
#include "cli/import_console.h"
#include "cli/import_options.h"
#include "cli/import_session.h"
#include "cli/record_output.h"
#include "database/connection.h"
#include "database/database.h"
#include "database/settings_file.h"
#include "text/errors.h"
#include "text/translations.h"

#include <QCoreApplication>
#include <algorithm>
#include <memory>

using namespace kestrel;
using namespace kestrel::cli;

namespace {

int usageError(const QString& reason) {
    writeLine(stderr, QStringLiteral("kestrel-import: ") + reason);
    writeLine(stderr, usageText().trimmed());
    return ExitUsage;
}

// No dialog and no retry: the settings dialog's status text, then the driver's own message.
std::unique_ptr<Database> openDatabase(const QString& dir, QString& failure) {
    try {
        return openBranchDatabase(settingsFilePath(dir));
    } catch (const Error& error) {
        failure = error.message();
    }
    return nullptr;
}

QString cannotWrite(const QString& file, const QString& reason) {
    return QCoreApplication::translate("kestrel-import", "cannot write %1: %2").arg(file, reason);
}

// The records of the run to the --record file, when one is named. A file that cannot be written
// makes an import that completed end with status 2.
int withRecordWritten(const ImportOptions& options, const ConsoleObserver& console, int status) {
    if (options.recordFile.isEmpty())
        return status;
    QString reason;
    if (writeRecordFile(options.recordFile, console.records(), reason))
        return status;
    writeLine(stderr, QStringLiteral("kestrel-import: ") + cannotWrite(options.recordFile, reason));
    return std::max(status, int(ExitImportError));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    useUtf8Console();
    installTranslations(QLocale::system());

    const ParsedOptions parsed =
        parseImportOptions(app.arguments().mid(1), QCoreApplication::applicationDirPath());
    if (!parsed.error.isEmpty())
        return usageError(parsed.error);
    const ImportOptions& options = parsed.options;
    if (options.help) {
        writeLine(stdout, usageText().trimmed());
        return ExitCompleted;
    }
    QString reason;
    const std::optional<QList<ImportKind>> kinds = resolveImports(options.imports, reason);
    if (!kinds)
        return usageError(reason);

    // The record file is written once before anything runs, so that a path that cannot be
    // written is refused before the database is touched.
    if (!options.recordFile.isEmpty() && !writeRecordFile(options.recordFile, {}, reason))
        return usageError(cannotWrite(options.recordFile, reason));

    QString failure;
    const std::unique_ptr<Database> database = openDatabase(options.dir, failure);
    if (!database) {
        writeLine(stderr, QStringLiteral(" 数据库配置不正确，请重新配置"));
        writeLine(stderr, failure);
        return ExitDatabaseUnavailable;
    }

    ConsoleObserver console(standardErrorIsTerminal());
    if (options.verify)
        return verifyImports(*database, *kinds, options, console);
    console.printSummaries(options.summary);
    BranchIdentity identity;
    try {
        identity = resolveIdentity(*database, options, console);
    } catch (const Error& error) {
        console.error(error.message());
        return ExitImportError;
    }
    return withRecordWritten(options, console,
                             runImports(*database, *kinds, options, identity, console));
}
