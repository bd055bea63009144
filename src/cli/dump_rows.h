#pragma once

#include "workbook/workbook.h"

namespace kestrel::xlsdump {

// Writes a worksheet to standard output: "rows", its last row, then one line per cell with a
// value, ROW COL TYPE TEXT, the text as the cell-to-text rule gives it under locale, escaped.
void dumpWorksheet(const Workbook& book, int sheet, const QLocale& locale);

} // namespace kestrel::xlsdump
