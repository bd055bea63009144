#pragma once

#include "workbook/workbook.h"

#include <QLocale>
#include <QtGlobal>

namespace kestrel::fuzz {

struct WalkLimits {
    int rowsWalked;    // rows read per worksheet, the last row besides
    int rowsAllowed;   // a worksheet claiming more rows than this is a finding
    int columnsWalked; // columns read per row
};

// The readers may warn through Qt's logging; thousands of inputs a second would flood the log.
void quietMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);

// Walks every worksheet of an opened workbook the way an import run would: names, last rows,
// every cell converted to text, the walk over a row's existing cells, values set in memory, a
// worksheet that is not there. Aborts on anything a reader must never do; a damaged worksheet
// may be refused with the reader's own error.
void walkWorkbook(Workbook& book, const QLocale& locale, const WalkLimits& limits);

} // namespace kestrel::fuzz
