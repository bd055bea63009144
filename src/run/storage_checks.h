#pragma once

#include "database/database.h"
#include "run/import_definition.h"

#include <QList>
#include <QLocale>
#include <QString>

namespace kestrel {

class Workbook;

// Template texts that the column they are written to cannot store as they are: a date outside
// what its type holds (SQL Server's datetime from 1753, smalldatetime 1900 to 2079-06-06), a text
// its code page lacks characters of (a varchar column of SQL Server, which would keep '?').
// Checked in the checking pass, so that such a row stops the import before anything is written.
class StorageChecks {
public:
    // Reads the written tables' columns; none has such limits on SQLite.
    StorageChecks(const BlockDefinition& block, Database& database);

    // The row message for the first template column of the row whose text its column cannot
    // store; empty when every one fits. A date gets the message of its column's date check.
    QString problem(const Workbook& book, int sheet, int row, const QLocale& locale) const;

private:
    struct Target {
        int templateColumn = 0;
        ColumnInfo column;
        QString dateTail; // the tail of the template column's date check, if it has one
    };
    void addTargets(const BlockDefinition& block, const WrittenRow& row, Database& database);
    QString dateProblem(const Target& target, const QString& text, int row,
                        const QLocale& locale) const;

    QList<Target> m_targets;
};

} // namespace kestrel
