#pragma once

#include "cli/import_options.h"
#include "run/import_run.h"

#include <QList>
#include <optional>

namespace kestrel {
class Database;
}

namespace kestrel::cli {

class ConsoleObserver;

// The imports the command line names, in its order. Gives nothing and sets error when a name is
// unknown.
std::optional<QList<ImportKind>> resolveImports(const QStringList& names, QString& error);

// The branch identity as the window has it: from the first row of Sys_System when that table
// exists (identity options are then ignored with a warning), else from the options. Throws
// DatabaseError when Sys_System cannot be read.
BranchIdentity resolveIdentity(Database& database, const ImportOptions& options,
                               ConsoleObserver& console);

// Runs the imports one after the other and gives the exit status. Import mode stops at the first
// import that does not complete; check mode goes on after failed checks and stops at an error.
int runImports(Database& database, const QList<ImportKind>& kinds, const ImportOptions& options,
               const BranchIdentity& identity, ConsoleObserver& console);

// Looks the keys of every template row up in the database, import by import, printing what is
// missing; writes nothing. Exit status 0 when every row is present, 1 when any is missing, 2 when
// an error ended the check.
int verifyImports(Database& database, const QList<ImportKind>& kinds, const ImportOptions& options,
                  ConsoleObserver& console);

} // namespace kestrel::cli
