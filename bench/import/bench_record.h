#pragma once

#include <QList>
#include <QString>

namespace kestrel::bench {

// The best, the median and the worst of several timings, in seconds.
struct Spread {
    double best = 0;
    double median = 0;
    double worst = 0;
};
Spread spreadOf(QList<double> seconds);

// What the block records cost: the stored-value import of the folder's template with its records
// and without, in turn, rounds times each, every run on a fresh copy of base. With them, each
// record is also written as the shells write it (the window's log section appended, the JSON
// file of kestrel-import). Then the same import run again on the imported database, where every
// row is left out and the record holds every key. Prints both sides and the ratio of medians.
void benchRecordCost(const QString& folder, const QString& base, int rounds);

// The check of --verify on the imported database (every template key present) against the
// import's own times measured in the same run: its checking pass, the template's opening, and
// the key column read through SQLite's C API.
void benchVerify(const QString& folder, int rounds, double openTemplate, double checkingPass);

} // namespace kestrel::bench
