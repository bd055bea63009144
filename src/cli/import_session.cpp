#include "cli/import_session.h"

#include "cli/import_console.h"
#include "database/database.h"
#include "importers/importers.h"
#include "run/template_verify.h"
#include "text/errors.h"

#include <QCoreApplication>
#include <QDir>

namespace kestrel::cli {

std::optional<QList<ImportKind>> resolveImports(const QStringList& names, QString& error) {
    QList<ImportKind> kinds;
    for (const QString& name : names) {
        const std::optional<ImportKind> kind = importKindFromCommandName(name);
        if (!kind) {
            error =
                QCoreApplication::translate("kestrel-import", "unknown import \"%1\"").arg(name);
            return std::nullopt;
        }
        kinds.append(*kind);
    }
    return kinds;
}

namespace {

// The window's own test for the branch's system table and its read of the first row.
std::optional<BranchIdentity> identityFromSystemTable(Database& database) {
    Query catalogue(database);
    catalogue.setSql(
        QStringLiteral(" Select Name From sysobjects Where  Name='Sys_System' And    XType='U'"));
    catalogue.open();
    const bool hasTable = !catalogue.isEmpty();
    catalogue.close();
    if (!hasTable)
        return std::nullopt;

    Query system(database);
    system.setSql(QStringLiteral("Select HotelID,HotelTreeID,HotelName From Sys_System"));
    system.open();
    BranchIdentity identity;
    if (!system.isEmpty()) {
        identity.hotelId = system.fieldText(QStringLiteral("HotelID"));
        identity.hotelName = system.fieldText(QStringLiteral("HotelName"));
        identity.hotelTreeId = system.fieldText(QStringLiteral("HotelTreeID"));
    }
    return identity;
}

int exitStatusOf(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Completed:
        return ExitCompleted;
    case RunOutcome::IdentityCheckFailed:
    case RunOutcome::RowCheckFailed:
        return ExitCheckFailed;
    case RunOutcome::Error:
    case RunOutcome::Stopped:
        return ExitImportError;
    }
    return ExitImportError;
}

QString translated(const char* source) {
    return QCoreApplication::translate("kestrel-import", source);
}

void printVerified(const VerifyResult& result) {
    writeLine(stdout, translated(QT_TRANSLATE_NOOP("kestrel-import",
                                                   "%1 %2/%3 %4 worksheet %5: %6 rows, %7 present, "
                                                   "%8 missing from %9"))
                          .arg(result.importName, QString::number(result.block),
                               QString::number(result.blockCount),
                               QDir::toNativeSeparators(result.templatePath),
                               QString::number(result.worksheet), QString::number(result.rows),
                               QString::number(result.rows - result.missing.size()),
                               QString::number(result.missing.size()),
                               result.table + QLatin1Char('.') + result.keyField));
    for (const MissingRow& missing : result.missing)
        writeLine(stdout,
                  translated(QT_TRANSLATE_NOOP("kestrel-import", "  missing: row %1 key %2"))
                      .arg(QString::number(missing.row), missing.key));
}

} // namespace

BranchIdentity resolveIdentity(Database& database, const ImportOptions& options,
                               ConsoleObserver& console) {
    if (std::optional<BranchIdentity> fromTable = identityFromSystemTable(database)) {
        if (options.anyIdentityOption())
            console.warning(QCoreApplication::translate(
                "kestrel-import", "the database has a Sys_System table; the branch "
                                  "identity comes from it and the identity options "
                                  "are ignored"));
        return *fromTable;
    }
    BranchIdentity identity;
    identity.hotelTreeId = options.hotelTreeId.value_or(QString());
    identity.hotelId = options.hotelId.value_or(QString());
    identity.hotelName = options.hotelName.value_or(QString());
    return identity;
}

int runImports(Database& database, const QList<ImportKind>& kinds, const ImportOptions& options,
               const BranchIdentity& identity, ConsoleObserver& console) {
    int status = ExitCompleted;
    for (const ImportKind kind : kinds) {
        RunContext context(database, console);
        context.templateFolder = QDir(options.dir).absolutePath();
        context.identity = identity;
        context.locale = QLocale::system();
        context.mode = options.checkOnly ? RunMode::CheckOnly : RunMode::Import;
        const RunOutcome outcome = runImport(kind, context);
        console.endProgress();
        const int importStatus = exitStatusOf(outcome);
        status = std::max(status, importStatus);
        if (importStatus == ExitCompleted)
            continue;
        if (options.checkOnly && outcome == RunOutcome::RowCheckFailed)
            continue; // a check run reports every failing row of every import
        return importStatus;
    }
    return status;
}

int verifyImports(Database& database, const QList<ImportKind>& kinds, const ImportOptions& options,
                  ConsoleObserver& console) {
    int status = ExitCompleted;
    for (const ImportKind kind : kinds) {
        RunContext context(database, console);
        context.templateFolder = QDir(options.dir).absolutePath();
        context.locale = QLocale::system();
        try {
            for (const VerifyResult& result : verifyImport(importDefinition(kind), context, kind)) {
                printVerified(result);
                if (!result.missing.isEmpty())
                    status = ExitCheckFailed;
            }
        } catch (const Error& error) {
            console.error(error.message());
            return ExitImportError;
        }
    }
    return status;
}

} // namespace kestrel::cli
