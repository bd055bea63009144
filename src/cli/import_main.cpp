// kestrel-import: the window's imports without the window, for scripted migrations and checks.
#include "cli/import_console.h"
#include "cli/import_options.h"
#include "cli/import_session.h"
#include "database/connection.h"
#include "database/database.h"
#include "database/settings_file.h"
#include "text/errors.h"
#include "text/translations.h"

#include <QCoreApplication>
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

    QString failure;
    const std::unique_ptr<Database> database = openDatabase(options.dir, failure);
    if (!database) {
        writeLine(stderr, QStringLiteral(" 数据库配置不正确，请重新配置"));
        writeLine(stderr, failure);
        return ExitDatabaseUnavailable;
    }

    ConsoleObserver console(standardErrorIsTerminal());
    BranchIdentity identity;
    try {
        identity = resolveIdentity(*database, options, console);
    } catch (const Error& error) {
        console.error(error.message());
        return ExitImportError;
    }
    return runImports(*database, *kinds, options, identity, console);
}
