#pragma once

#include "run/import_definition.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>

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

// The row message: "第", the worksheet row number, the tail.
QString rowMessage(int row, const QString& tail);

// Applies the checks of one worksheet row in column order, writing defaults into the workbook.
// Returns the failures: at most the first one, or every one when allFailures is set.
// Throws ConversionError for an error cell and WorkbookError for a missing worksheet.
QList<CheckFailure> checkRow(Workbook& book, int sheet, int row, const QList<ColumnCheck>& checks,
                             const CheckEnvironment& environment, bool allFailures);

} // namespace kestrel
