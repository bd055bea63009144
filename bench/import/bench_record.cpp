#include "bench_record.h"

#include "bench_database.h"
#include "bench_files.h"
#include "bench_observer.h"

#include "database/connection.h"
#include "database/database.h"
#include "database/settings_file.h"
#include "importers/importers.h"
#include "importers/stored_value.h"
#include "run/block_record.h"
#include "run/record_json.h"
#include "run/record_log.h"
#include "run/template_verify.h"

#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace kestrel::bench {

namespace {

// Writes each record as the shells do: the window's log section, kestrel-import's JSON file.
class RecordWritingObserver : public TimingObserver {
public:
    explicit RecordWritingObserver(QString folder) : m_folder(std::move(folder)) {}

    void blockRecorded(const BlockRecord& record) override {
        QElapsedTimer clock;
        clock.start();
        if (!m_log.append(m_folder, record).isEmpty())
            throw std::runtime_error("cannot write the import log");
        QFile json(m_folder + QStringLiteral("/record.json"));
        if (!json.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            json.write(recordsJson({record})) < 0)
            throw std::runtime_error("cannot write the record file");
        m_leftOut = int(record.keysLeftOut.size());
        m_writingSeconds += double(clock.nsecsElapsed()) / 1e9;
    }
    int leftOut() const { return m_leftOut; }
    double writingSeconds() const { return m_writingSeconds; }

private:
    QString m_folder;
    ImportLog m_log;
    int m_leftOut = -1;
    double m_writingSeconds = 0;
};

struct Timed {
    double seconds = 0;        // the whole import
    double cpuSeconds = 0;     // the processor time of all its threads: less swayed by others
    double writingSeconds = 0; // of which writing its records
};

// One stored-value import of the folder's template, as the button runs it.
Timed timeImport(const QString& folder, bool withRecords) {
    const std::unique_ptr<Database> database = openBranchDatabase(settingsFilePath(folder));
    RecordWritingObserver observer(folder);
    RunContext context(*database, observer);
    context.templateFolder = folder;
    context.identity = {QStringLiteral("QY"), QStringLiteral("001"), QStringLiteral("青雁一店")};
    context.recordBlocks = withRecords;
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuStart = std::clock();
    const RunOutcome outcome = runImport(ImportKind::StoredValue, context);
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (outcome != RunOutcome::Completed)
        throw std::runtime_error("the import did not complete");
    if (withRecords && observer.leftOut() < 0)
        throw std::runtime_error("the import gave no record");
    return {seconds, cpuSeconds, observer.writingSeconds()};
}

// The import's times with and without records, in turn.
struct Sides {
    QList<double> with;
    QList<double> without;
    QList<double> cpuWith;
    QList<double> cpuWithout;
    QList<double> writing;

    void add(const Timed& timed, bool withRecords) {
        (withRecords ? with : without).append(timed.seconds);
        (withRecords ? cpuWith : cpuWithout).append(timed.cpuSeconds);
        if (withRecords)
            writing.append(timed.writingSeconds);
    }
};

QString secondsText(const Spread& spread) {
    return QStringLiteral("%1 s (best %2, worst %3)")
        .arg(spread.median, 0, 'f', 3)
        .arg(spread.best, 0, 'f', 3)
        .arg(spread.worst, 0, 'f', 3);
}

void printRatios(const QString& label, const QList<double>& with, const QList<double>& without) {
    const Spread withRecords = spreadOf(with);
    const Spread withoutRecords = spreadOf(without);
    say(QStringLiteral("    %1 with records     %2").arg(label, secondsText(withRecords)));
    say(QStringLiteral("    %1 without records  %2").arg(label, secondsText(withoutRecords)));
    say(QStringLiteral("    %1 ratio of medians %2 (%3 %), of bests %4")
            .arg(label)
            .arg(withRecords.median / withoutRecords.median, 0, 'f', 4)
            .arg(100.0 * (withRecords.median / withoutRecords.median - 1.0), 0, 'f', 2)
            .arg(withRecords.best / withoutRecords.best, 0, 'f', 4));
}

void printSides(const QString& label, const Sides& sides) {
    say(QStringLiteral("  %1").arg(label));
    printRatios(QStringLiteral("wall"), sides.with, sides.without);
    printRatios(QStringLiteral("cpu "), sides.cpuWith, sides.cpuWithout);
    const Spread writing = spreadOf(sides.writing);
    say(QStringLiteral("    writing the record (log section and JSON) %1, %2 % of the median "
                       "without")
            .arg(secondsText(writing))
            .arg(100.0 * writing.median / spreadOf(sides.without).median, 0, 'f', 2));
}

} // namespace

Spread spreadOf(QList<double> seconds) {
    if (seconds.isEmpty())
        return {};
    std::sort(seconds.begin(), seconds.end());
    return {seconds.first(), seconds.at(seconds.size() / 2), seconds.last()};
}

void benchRecordCost(const QString& folder, const QString& base, int rounds) {
    const QString database = folder + QStringLiteral("/branch.db");
    Sides fresh;
    say(QString());
    say(QStringLiteral("block records: %1 rounds each side, in turn, each on a fresh copy")
            .arg(rounds));
    for (int round = 0; round < rounds; ++round) {
        // The side that goes first changes every round, so that neither always meets a
        // warmer cache.
        for (const bool withRecords : {round % 2 == 0, round % 2 != 0}) {
            copyFile(base, database);
            QFile::remove(folder + QLatin1Char('/') + importLogFileName());
            settleDisk();
            fresh.add(timeImport(folder, withRecords), withRecords);
        }
    }
    printSides(QStringLiteral("import, every row written"), fresh);

    // The imported database again: every row is left out, the record holds every key.
    Sides again;
    for (int round = 0; round < rounds; ++round) {
        for (const bool withRecords : {round % 2 == 0, round % 2 != 0})
            again.add(timeImport(folder, withRecords), withRecords);
    }
    printSides(QStringLiteral("import again, every row left out"), again);
}

void benchVerify(const QString& folder, int rounds, double openTemplate, double checkingPass) {
    const ImportDefinition definition = storedValueImport();
    const BlockDefinition& block = definition.blocks.first();
    QList<double> verify;
    QList<double> columnRead;
    int missing = -1;
    for (int round = 0; round < rounds; ++round) {
        columnRead.append(readColumnThroughSqlite(
            folder + QStringLiteral("/branch.db"), sqliteSessionPragmas(),
            QStringLiteral("SELECT %1 FROM (%2)").arg(block.keyField, block.mainStatement)));
        const std::unique_ptr<Database> database = openBranchDatabase(settingsFilePath(folder));
        TimingObserver observer;
        RunContext context(*database, observer);
        context.templateFolder = folder;
        QElapsedTimer clock;
        clock.start();
        const QList<VerifyResult> results = verifyImport(definition, context);
        verify.append(double(clock.nsecsElapsed()) / 1e9);
        missing = int(results.first().missing.size());
    }
    const Spread verifySpread = spreadOf(verify);
    const Spread readSpread = spreadOf(columnRead);
    say(QString());
    say(QStringLiteral("--verify of the template against the imported database (%1 rounds, %2 "
                       "keys missing)")
            .arg(rounds)
            .arg(missing));
    say(QStringLiteral("  verify (open template, read keys, look each up)  %1")
            .arg(secondsText(verifySpread)));
    say(QStringLiteral("  key column read by the C API                     %1")
            .arg(secondsText(readSpread)));
    say(QStringLiteral("  the import's checking pass                       %1 s")
            .arg(checkingPass, 0, 'f', 3));
    say(QStringLiteral("  the import's opening of the template             %1 s")
            .arg(openTemplate, 0, 'f', 3));
    say(QStringLiteral("  ratio verify / (checking pass + key column read)  %1")
            .arg(verifySpread.median / (checkingPass + readSpread.median), 0, 'f', 3));
    say(QStringLiteral("  ratio verify / (open template + checking + read)  %1")
            .arg(verifySpread.median / (openTemplate + checkingPass + readSpread.median), 0, 'f',
                 3));
}

} // namespace kestrel::bench
