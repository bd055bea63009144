#pragma once

#include "run/checks.h"
#include "run/reconciliation.h"
#include "run/run_observer.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel {

// The database a run wrote to: a server and a database on it, or a database file.
struct DatabaseLocation {
    QString server;
    QString name;
    QString file;
};

// When a pass began and how long it took; not begun when the block ended before it.
struct PassTiming {
    QDateTime started;
    qint64 microseconds = 0;

    bool begun() const { return started.isValid(); }
};

enum class BlockOutcome {
    Completed,      // committed; its completion message was given
    RowCheckFailed, // stopped at a row whose check failed; nothing written
    Error,          // an error ended it; rolled back
    Stopped,        // the operator stopped it; rolled back
};

// What one block of an import did, gathered while it ran. A block that did not complete wrote
// nothing: its rows written, keys left out and categories are empty.
struct BlockRecord {
    QString importName;    // the command name ("stored-value"); empty for a bare description
    QString importCaption; // the button's caption ("充值卡导入")
    int block = 1;         // counted from 1
    int blockCount = 1;
    QString templatePath; // as found; the file name asked for when it was not found
    int worksheet = 1;
    QString worksheetName;     // empty when the worksheet was not reached
    QString mainTable;         // the table searched for the key ...
    QString keyField;          // ... in this column
    QStringList writtenTables; // one row each for every template row written
    DatabaseLocation database;
    BranchIdentity branch; // trimmed
    QDateTime started;

    BlockOutcome outcome = BlockOutcome::Completed;
    int failedRow = 0; // RowCheckFailed: the worksheet row
    QString message;   // RowCheckFailed: the row message; Error: the error's text

    int rowsChecked = 0;     // template rows the checking pass went through
    int rowsWritten = 0;     // template rows written
    QStringList keysLeftOut; // keys of the rows left out as already present, in template order
    QList<DefaultsWritten> defaults; // in column order
    QList<ReconciliationRecord> categories;

    PassTiming checking;
    PassTiming importing;
    PassTiming closing; // clean-up, reconciliation and commit
};

class Database;

// Asks the database where it is; empty texts where it cannot tell. Never throws.
DatabaseLocation databaseLocation(Database& database);

} // namespace kestrel
