// kestrel-bench-import: the stored-value import of a large template into a branch database that
// already holds many members, beside a baseline of plain inserts of the same rows.
#include "bench_database.h"
#include "bench_files.h"
#include "bench_observer.h"
#include "bench_record.h"

#include "database/connection.h"
#include "database/database.h"
#include "database/settings_file.h"
#include "importers/importers.h"
#include "importers/stored_value.h"
#include "run/import_run.h"
#include "text/errors.h"
#include "workbook/workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#ifdef _WIN32
#define NOMINMAX
#include <windows.h>

#include <psapi.h> // after windows.h, which it needs
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace kestrel;
using namespace kestrel::bench;

namespace {

const QString templateName = QStringLiteral("青雁充值卡模板.xls");

struct BenchOptions {
    int members = 1000000;
    int rows = 65000;
    QString work;         // keep the files here; a temporary folder when empty
    QString templatePath; // a ready template; generated when empty
    QString schema = QStringLiteral(KESTREL_SOURCE_DIR "/schema/branch.sql");
    int rounds = 3; // of the block records' cost and of --verify
};

BenchOptions parseOptions(const QStringList& arguments) {
    BenchOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& name = arguments.at(i);
        if (i + 1 >= arguments.size())
            throw std::runtime_error("usage: kestrel-bench-import [--members N] [--rows N] "
                                     "[--work DIR] [--template FILE] [--schema FILE] "
                                     "[--rounds N]");
        const QString value = arguments.at(++i);
        if (name == QLatin1String("--members"))
            options.members = value.toInt();
        else if (name == QLatin1String("--rows"))
            options.rows = value.toInt();
        else if (name == QLatin1String("--work"))
            options.work = value;
        else if (name == QLatin1String("--template"))
            options.templatePath = value;
        else if (name == QLatin1String("--schema"))
            options.schema = value;
        else if (name == QLatin1String("--rounds"))
            options.rounds = std::max(1, value.toInt());
        else
            throw std::runtime_error((QStringLiteral("unknown option ") + name).toStdString());
    }
    return options;
}

double peakMemoryMiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // KiB on Linux
#endif
}

QString debianPythonOrPath();

void makeTemplate(const QString& path, int rows) {
    // Debian's interpreter first: python3-xlwt is installed for it, not for other pythons.
    const QString python = debianPythonOrPath();
    if (python.isEmpty())
        throw std::runtime_error("python3 (with python3-xlwt) is needed to write the template; "
                                 "or pass --template FILE");
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(python, {QStringLiteral(KESTREL_BENCH_IMPORT_DIR "/make_stored_value.py"), path,
                           QString::number(rows)});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        throw std::runtime_error("make_stored_value.py failed");
}

void writeSettings(const QString& folder, const QString& databaseFile) {
    QDir().mkpath(folder);
    QFile file(settingsFilePath(folder));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write Kestrel.ini");
    file.write(
        (QStringLiteral("[Kestrel]\ndbtype=sqlite\ndbname=") + databaseFile + QStringLiteral("\n"))
            .toUtf8());
}

// The import as the button runs it, timed phase by phase.
void runTimedImport(const QString& folder, TimingObserver& timing) {
    const std::unique_ptr<Database> database = openBranchDatabase(settingsFilePath(folder));
    RunContext context(*database, timing);
    context.templateFolder = folder;
    context.identity = {QStringLiteral(" QY "), QStringLiteral(" 001 "),
                        QStringLiteral(" 青雁一店 ")};
    context.phaseStarted = [&timing](RunPhase phase) { timing.phaseStarted(phase); };
    timing.markStart();
    const RunOutcome outcome = runImport(ImportKind::StoredValue, context);
    timing.markEnd();
    if (outcome != RunOutcome::Completed)
        throw std::runtime_error((QStringLiteral("the import did not complete: ") +
                                  timing.errors().join(QLatin1Char('\n')) +
                                  timing.messages().join(QLatin1Char('\n')))
                                     .toStdString());
}

// The import's key search set up alone: the main table opened and its key column indexed, as
// the import does on its worker thread while it checks the template. The best of three, on a
// database not yet written.
double keyIndexSeconds(const QString& folder) {
    const ImportDefinition definition = storedValueImport();
    const BlockDefinition& block = definition.blocks.first();
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const std::unique_ptr<Database> database = openBranchDatabase(settingsFilePath(folder));
        QElapsedTimer clock;
        clock.start();
        Query main(*database);
        main.setSql(block.mainStatement);
        main.open();
        main.locate(block.keyField, QStringLiteral("\u0001 no such key"));
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        best = run == 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

// The last row ids of the two written tables before the import: the rows after them are the
// imported ones, whatever keys the template holds.
struct RowMarks {
    qint64 members = 0;
    qint64 logs = 0;
};

RowMarks lastRowIds(const QString& folder) {
    const std::unique_ptr<Database> database = openBranchDatabase(settingsFilePath(folder));
    QSqlDatabase& connection = database->connection();
    return {scalar(connection, QStringLiteral("SELECT COALESCE(MAX(rowid), 0) FROM HY_Member")),
            scalar(connection,
                   QStringLiteral("SELECT COALESCE(MAX(rowid), 0) FROM HY_CardValueOpLog"))};
}

QList<TableRows> readImportedRows(const QString& folder, const RowMarks& before,
                                  QStringList& missing) {
    const std::unique_ptr<Database> database = openBranchDatabase(settingsFilePath(folder));
    QSqlDatabase& connection = database->connection();
    const QStringList members =
        presentColumns(connection, QStringLiteral("HY_Member"), writtenMemberColumns(), missing);
    const QStringList logs = presentColumns(connection, QStringLiteral("HY_CardValueOpLog"),
                                            writtenLogColumns(), missing);
    return {readRows(connection, QStringLiteral("HY_Member"), members,
                     QStringLiteral("rowid > %1 ORDER BY rowid").arg(before.members)),
            readRows(connection, QStringLiteral("HY_CardValueOpLog"), logs,
                     QStringLiteral("rowid > %1 ORDER BY rowid").arg(before.logs))};
}

double runBaseline(const QString& folder, const QList<TableRows>& rows) {
    const std::unique_ptr<Database> database = openBranchDatabase(settingsFilePath(folder));
    QElapsedTimer clock;
    clock.start();
    insertRowsPlainly(database->connection(), rows);
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

QString debianPythonOrPath() {
    const QString debianPython = QStringLiteral("/usr/bin/python3");
    return QFile::exists(debianPython) ? debianPython
                                       : QStandardPaths::findExecutable(QStringLiteral("python3"));
}

// Seconds from the start of the bare script's process to its end.
double runBareScript(const QString& templatePath, const QString& databasePath,
                     const QList<TableRows>& rows) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(debianPythonOrPath(),
                  {QStringLiteral(KESTREL_BENCH_IMPORT_DIR "/bare_script.py"), templatePath,
                   databasePath, rows.at(0).columns.join(QLatin1Char(',')),
                   rows.at(1).columns.join(QLatin1Char(','))});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error("bare_script.py failed (python3-xlrd needed)");
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// The import's clean-up statements run by the sqlite3 shell (its own settings) on a database
// holding the same rows, inside one transaction; the statements' own time, as the shell's timer
// gives it.
std::optional<double> runCleanUpInShell(const QString& databasePath) {
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return std::nullopt;
    QStringList script{QStringLiteral(".timer on"), QStringLiteral("BEGIN;")};
    const ImportDefinition definition = storedValueImport();
    for (const QStringList& batch : definition.blocks.first().cleanUpBatches) {
        for (const QString& statement : batch)
            script.append(statement + QLatin1Char(';'));
    }
    script.append(QStringLiteral(".timer off"));
    script.append(QStringLiteral("ROLLBACK;"));
    QProcess process;
    process.start(shell, {databasePath});
    process.write((script.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return std::nullopt;
    double seconds = 0;
    bool first = true; // the BEGIN
    for (const QString& line :
         QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("Run Time: real ")))
            continue;
        if (!first)
            seconds += line.section(QLatin1Char(' '), 3, 3).toDouble();
        first = false;
    }
    return seconds;
}

// Every imported member has its log row and a card type key; a generated template's rows are
// all new (rows: their number), a given template's rows may not be (rows: -1).
void verifyImport(const QString& folder, int members, int rows) {
    const std::unique_ptr<Database> database = openBranchDatabase(settingsFilePath(folder));
    QSqlDatabase& connection = database->connection();
    const qint64 memberCount = scalar(connection, QStringLiteral("SELECT COUNT(*) FROM HY_Member"));
    const qint64 logCount =
        scalar(connection, QStringLiteral("SELECT COUNT(*) FROM HY_CardValueOpLog"));
    const qint64 untyped = scalar(
        connection, QStringLiteral("SELECT COUNT(*) FROM HY_Member WHERE CardTypeID IS NULL OR "
                                   "CardTypeID=''"));
    const qint64 expected = rows >= 0 ? members + rows : memberCount;
    say(QStringLiteral("check: members %1 (expected %2), log rows %3 (expected %4), members "
                       "without a card type key %5")
            .arg(memberCount)
            .arg(expected)
            .arg(logCount)
            .arg(expected)
            .arg(untyped));
    if (memberCount != expected || logCount != expected || untyped != 0)
        throw std::runtime_error("the imported database is not as expected");
}

QString row(const QString& label, double seconds, double total) {
    return QStringLiteral("  %1 %2 s  %3 %")
        .arg(label, -40)
        .arg(seconds, 9, 'f', 3)
        .arg(total > 0 ? 100.0 * seconds / total : 0.0, 5, 'f', 1);
}

void printPhases(const TimingObserver& timing) {
    const double total = timing.totalSeconds();
    if (timing.hasPhases()) {
        const auto print = [&](const QString& label, std::optional<double> seconds) {
            if (seconds)
                say(row(label, *seconds, total));
        };
        print(QStringLiteral("open template"), timing.beforePhaseSeconds(RunPhase::Checking));
        print(QStringLiteral("checking pass"),
              timing.phaseSeconds(RunPhase::Checking, RunPhase::ImportPass));
        print(QStringLiteral("import pass"),
              timing.phaseSeconds(RunPhase::ImportPass, RunPhase::CleanUp));
        print(QStringLiteral("clean-up"),
              timing.phaseSeconds(RunPhase::CleanUp, RunPhase::Reconciliation));
        print(QStringLiteral("reconciliation + commit"),
              timing.phaseSeconds(RunPhase::Reconciliation, RunPhase::Finished));
        print(QStringLiteral("completion, release"), timing.afterPhaseSeconds(RunPhase::Finished));
        return;
    }
    // Without the phase hook: each pass begins with its progress reset, and the import pass
    // ends when its last row is done (the last progress step plus one row's average time).
    const QList<qint64>& resets = timing.progressResets();
    if (resets.size() < 2) {
        say(QStringLiteral("  (the run reported no phases)"));
        return;
    }
    const auto span = [](qint64 from, qint64 to) { return TimingObserver::seconds(from, to); };
    const qint64 checkingStart = resets.at(0);
    const qint64 importStart = resets.at(1);
    const qint64 lastRow = timing.lastProgressNs();
    const qint64 rows = std::max<qint64>(1, timing.importRows());
    const qint64 importEnd = lastRow + (lastRow - importStart) / rows;
    say(row(QStringLiteral("open template"), span(timing.startNs(), checkingStart), total));
    say(row(QStringLiteral("checking pass"), span(checkingStart, importStart), total));
    say(row(QStringLiteral("import pass (end estimated)"), span(importStart, importEnd), total));
    say(row(QStringLiteral("clean-up + reconciliation + commit"),
            span(importEnd, timing.lastMessageNs()), total));
    say(row(QStringLiteral("completion, release"), span(timing.lastMessageNs(), timing.endNs()),
            total));
}

int runBench(const BenchOptions& options) {
    QTemporaryDir temporary;
    const QString work = options.work.isEmpty() ? temporary.path() : options.work;
    QDir().mkpath(work);
    const QString importFolder = work + QStringLiteral("/import");
    const QString baselineFolder = work + QStringLiteral("/baseline");
    const QString directFolder = work + QStringLiteral("/baseline-c");
    const QString scriptFolder = work + QStringLiteral("/baseline-script");
    for (const QString& folder : {importFolder, baselineFolder, directFolder, scriptFolder})
        writeSettings(folder, QStringLiteral("branch.db"));

    QElapsedTimer clock;
    clock.start();
    // The generated database and template are kept in the work folder and reused by later
    // runs with the same sizes: generating a million members takes minutes.
    const QString base = work + QStringLiteral("/members-%1.db").arg(options.members);
    if (!QFile::exists(base)) {
        say(QStringLiteral("generating a branch database of %1 members ...").arg(options.members));
        const QString partial = base + QStringLiteral(".part");
        QFile::remove(partial);
        createMemberDatabase(partial, options.schema, options.members);
        QFile::rename(partial, base);
    }
    for (const QString& folder : {importFolder, baselineFolder, directFolder, scriptFolder})
        copyFile(base, folder + QStringLiteral("/branch.db"));
    const QString templatePath = importFolder + QLatin1Char('/') + templateName;
    if (options.templatePath.isEmpty()) {
        const QString generated = work + QStringLiteral("/stored-value-%1.xls").arg(options.rows);
        if (!QFile::exists(generated)) {
            say(QStringLiteral("writing a template of %1 stored-value cards ...")
                    .arg(options.rows));
            makeTemplate(generated, options.rows);
        }
        copyFile(generated, templatePath);
    } else {
        copyFile(options.templatePath, templatePath);
    }
    settleDisk();
    say(QStringLiteral("prepared in %1 s")
            .arg(static_cast<double>(clock.elapsed()) / 1000.0, 0, 'f', 1));
    const double memoryBefore = peakMemoryMiB();

    const double keyIndex = keyIndexSeconds(importFolder);
    const ImportDefinition definition = storedValueImport();
    const BlockDefinition& block = definition.blocks.first();
    const double keyColumnRead = readColumnThroughSqlite(
        importFolder + QStringLiteral("/branch.db"), sqliteSessionPragmas(),
        QStringLiteral("SELECT %1 FROM (%2)").arg(block.keyField, block.mainStatement));
    const RowMarks before = lastRowIds(importFolder);
    TimingObserver timing;
    runTimedImport(importFolder, timing);
    const double memoryAfter = peakMemoryMiB();
    verifyImport(importFolder, options.members, options.templatePath.isEmpty() ? options.rows : -1);

    QStringList missing;
    const QList<TableRows> rows = readImportedRows(importFolder, before, missing);
    if (!missing.isEmpty())
        say(QStringLiteral("note: columns not in the schema, left out of the baseline: ") +
            missing.join(QStringLiteral(", ")));
    if (rows.at(0).rows.isEmpty())
        throw std::runtime_error("the import wrote no rows: no baseline to compare with");
    const double baseline = runBaseline(baselineFolder, rows);
    const double direct = insertRowsThroughSqlite(directFolder + QStringLiteral("/branch.db"),
                                                  sqliteSessionPragmas(), rows);
    const std::optional<double> shellCleanUp =
        runCleanUpInShell(baselineFolder + QStringLiteral("/branch.db"));
    const double script =
        runBareScript(templatePath, scriptFolder + QStringLiteral("/branch.db"), rows);

    const double total = timing.totalSeconds();
    const int templateRows = std::max(0, openXlsWorkbook(templatePath)->lastRow(1) - 1);
    say(QString());
    say(QStringLiteral("stored-value import: %1 template rows into %2 members (SQLite), %3 "
                       "member and %4 log rows written")
            .arg(templateRows)
            .arg(options.members)
            .arg(rows.at(0).rows.size())
            .arg(rows.at(1).rows.size()));
    say(row(QStringLiteral("whole import (as the button runs it)"), total, total));
    printPhases(timing);
    say(row(QStringLiteral("key search set-up (beside the checks)"), keyIndex, total));
    say(row(QStringLiteral("baseline: prepared inserts through Qt"), baseline, total));
    say(row(QStringLiteral("baseline: SQLite C API inserts"), direct, total));
    if (shellCleanUp)
        say(row(QStringLiteral("baseline: clean-up in the sqlite3 shell"), *shellCleanUp, total));
    say(row(QStringLiteral("baseline: bare script (xlrd + sqlite3)"), script, total));
    say(row(QStringLiteral("baseline: key column read by the C API"), keyColumnRead, total));
    say(QStringLiteral("  %1 %2")
            .arg(QStringLiteral("template rows per second"), -40)
            .arg(total > 0 ? templateRows / total : 0.0, 9, 'f', 0));
    const auto ratio = [](const QString& label, std::optional<double> ours, double theirs) {
        if (ours && theirs > 0)
            say(QStringLiteral("  %1 %2 x").arg(label, -40).arg(*ours / theirs, 9, 'f', 2));
    };
    const std::optional<double> importPass =
        timing.phaseSeconds(RunPhase::ImportPass, RunPhase::CleanUp);
    ratio(QStringLiteral("ratio import pass / C API inserts"), importPass, direct);
    ratio(QStringLiteral("ratio import pass / Qt inserts"), importPass, baseline);
    if (shellCleanUp)
        ratio(QStringLiteral("ratio clean-up / sqlite3 shell"),
              timing.phaseSeconds(RunPhase::CleanUp, RunPhase::Reconciliation), *shellCleanUp);
    ratio(QStringLiteral("ratio whole import / bare script"), total, script);
    ratio(QStringLiteral("ratio key search set-up / column read"), keyIndex, keyColumnRead);
    // What SQLite alone spends on the rows and the clean-up: the part no reader or check can
    // take away, set against the bare script (which runs no clean-up).
    if (shellCleanUp) {
        ratio(QStringLiteral("ratio (C API + shell clean-up) / script"), direct + *shellCleanUp,
              script);
        ratio(QStringLiteral("ratio whole import / (C API + clean-up)"), total,
              direct + *shellCleanUp);
    }
    say(QStringLiteral("  %1 %2 MiB (%3 MiB before the import)")
            .arg(QStringLiteral("peak memory (max RSS)"), -40)
            .arg(memoryAfter, 9, 'f', 1)
            .arg(memoryBefore, 0, 'f', 1));

    benchVerify(importFolder, options.rounds,
                timing.beforePhaseSeconds(RunPhase::Checking).value_or(0),
                timing.phaseSeconds(RunPhase::Checking, RunPhase::ImportPass).value_or(0));
    benchRecordCost(importFolder, base, options.rounds);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        return runBench(parseOptions(app.arguments()));
    } catch (const kestrel::Error& error) {
        say(QStringLiteral("kestrel-bench-import: ") + error.message());
    } catch (const std::exception& error) {
        say(QStringLiteral("kestrel-bench-import: ") + QString::fromUtf8(error.what()));
    }
    return 1;
}
