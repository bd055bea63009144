#pragma once

#include "run/run_observer.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace kestrel {

class Database;
class Workbook;
struct ImportDefinition;

// The imports of the main window, one per button.
enum class ImportKind {
    StoredValue,  // 充值卡导入
    Points,       // 积分卡导入
    Treatment,    // 疗程次卡导入
    TimePeriod,   // 时段卡导入
    RoomsLockers, // 锁牌房号导入 (two blocks: rooms, then locker tags)
    ItemsGoods,   // 沐足洗浴项目导入 (two blocks: service items, then bar stock goods)
    Employees,    // 员工资料导入
};

struct ImportEntry {
    ImportKind kind;
    QString commandName;   // the name kestrel-import takes: "stored-value", "points", ...
    QString buttonCaption; // the caption of its button: "充值卡导入", ...
    QString handlerName;   // the button's click handler: "btnStartClick", ...
};

// Every import in the order of the buttons.
const QList<ImportEntry>& importRegistry();
const ImportEntry& importEntry(ImportKind kind);
// Looks up a command name exactly ("stored-value"); nothing when unknown.
std::optional<ImportKind> importKindFromCommandName(const QString& name);

// The phases of one block of an import run, in the order they begin.
enum class RunPhase { Checking, ImportPass, CleanUp, Reconciliation, Finished };

enum class RunMode {
    Import,    // the button's run: checking pass, then import pass, clean-up, reconciliation
    CheckOnly, // only the checking passes of every block; goes on after failures; writes nothing
};

// What a run needs from the shell that starts it.
struct RunContext {
    RunContext(Database& runDatabase, RunObserver& runObserver)
        : database(runDatabase), observer(runObserver) {}

    Database& database; // the run sets its locale to `locale` below
    RunObserver& observer;
    // The templates are looked up here only (the executable's folder), by findTemplate().
    QString templateFolder;
    BranchIdentity identity;            // as typed; the run trims it and reports it back
    QLocale locale = QLocale::system(); // reads cell texts, numbers and dates
    // "Now": today's date for defaults, the time of day for generated category keys.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Opens a template; when empty, openWorkbook (by content: .xls, .xlsx, .xlsm, .ods). Tests
    // put an in-memory workbook here.
    std::function<std::unique_ptr<Workbook>(const QString& path)> openWorkbook;
    RunMode mode = RunMode::Import;
    // Optional: told as each phase of a block begins (Finished after the block's commit), so
    // that a benchmark can time the phases. Nothing in the run depends on it.
    std::function<void(RunPhase)> phaseStarted;
    // Optional: set by the shell (from any thread) to stop the run. The run looks at it before
    // each row and before its block commits; the running block is then rolled back and the run
    // ends with RunOutcome::Stopped, reporting nothing. Blocks already completed stay.
    const std::atomic<bool>* stopRequested = nullptr;
    // False: no BlockRecord is gathered nor given to the observer (to measure what that costs).
    bool recordBlocks = true;
};

enum class RunOutcome {
    Completed,           // every block ran to its completion message (check mode: no failure)
    IdentityCheckFailed, // an empty branch field; its message was given
    RowCheckFailed,      // a row message was given (check mode: at least one)
    Error,               // an error ended the run; its text went to RunObserver::error
    Stopped,             // the shell asked the run to stop; the running block was rolled back
};

// Runs an import described as data from start to end, as its button does, reporting through
// context.observer.
// Import mode: each block (import pass, clean-up, reconciliation) runs in one transaction that
// is committed before the completion message and rolled back on any error. A two-block import
// runs its second block only when the first one completed. Check mode skips the identity checks,
// reports every failing check of every row of every block (in worksheet, row and column order)
// through RunObserver::information, and stops only at an error.
// Never throws for anything the run meets; errors are reported and give RunOutcome::Error.
// kind, when given, names the import in the records of its blocks.
RunOutcome runImportDefinition(const ImportDefinition& definition, RunContext& context,
                               std::optional<ImportKind> kind = std::nullopt);

} // namespace kestrel
