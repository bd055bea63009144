#pragma once

#include "run/import_definition.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <vector>

namespace kestrel {

class Workbook;

// A check that failed: its row message ("第5行的卡芯编号不能为空!").
struct CheckFailure {
    int row = 0;
    int column = 0;
    QString message;
};

struct CheckEnvironment {
    QLocale locale;
    QDate today;
};

// How many cells each check of a block filled with its fallback (or, for a classifying check,
// its other text), index by index with the checks. A cell rewritten to the text it held is not
// counted.
struct DefaultCounts {
    std::vector<int> fallback;
    std::vector<int> otherwise;

    explicit DefaultCounts(qsizetype checks = 0)
        : fallback(std::size_t(checks)), otherwise(std::size_t(checks)) {}
};

// The cells of one template column that received one default.
struct DefaultsWritten {
    int column = 0;
    QString header;           // the column's text in row 1
    QString value;            // the text written; empty for a copy
    int copiedFromColumn = 0; // not 0: the text of that column of the same row was written
    int cells = 0;
};

// The row message: "第", the worksheet row number, the tail.
QString rowMessage(int row, const QString& tail);

// Applies the checks of one worksheet row in column order, writing defaults into the workbook.
// Returns the failures: at most the first one, or every one when allFailures is set.
// Throws ConversionError for an error cell and WorkbookError for a missing worksheet.
// Counts the defaults written into counts when given.
QList<CheckFailure> checkRow(Workbook& book, int sheet, int row, const QList<ColumnCheck>& checks,
                             const CheckEnvironment& environment, bool allFailures,
                             DefaultCounts* counts = nullptr);

// The counted defaults by column and value; headers are read from row 1 of the worksheet.
QList<DefaultsWritten> defaultsWritten(const Workbook& book, int sheet,
                                       const QList<ColumnCheck>& checks,
                                       const DefaultCounts& counts,
                                       const CheckEnvironment& environment);

} // namespace kestrel
