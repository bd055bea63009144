#pragma once

#include "text/cellvalue.h"
#include "workbook/workbook.h"

namespace kestrel {

// The date-time a date-formatted number stands for, to the second as Excel shows it. In the
// 1900 system serials 1 to 59 are 1900-01-01 to 1900-02-28 (Excel counts a 1900-02-29 that
// never was, serial 60, given here as 1900-02-28); a serial below 1 is a time of day on
// 1899-12-30, the day zero of automation dates. In the 1904 system serial 0 is 1904-01-01.
// A value no date can show (negative, or past 9999-12-31) stays a number.
CellValue dateTimeFromSerial(double serial, bool date1904);

// Fills a cell's view with a date-time, or with the number a date-formatted value stays.
void fillDateView(const CellValue& value, CellView& view);

} // namespace kestrel
