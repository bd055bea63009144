#pragma once

#include "text/cellvalue.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

// The text rules shared by the checking passes, the database layer and the reader's tools:
// how a cell becomes text, and which texts count as numbers and dates. Every function takes the
// workstation's locale explicitly so that tests can run under any locale.

// General form: at most 15 significant digits, the locale's decimal separator, no group
// separators, no trailing zeros; scientific form ("1.23456789012346E15", "1E-6") when the
// integer part has more than 15 digits or the magnitude is below 0.00001.
QString formatNumber(double value, const QLocale& locale);
// The same as UTF-8 appended to out, decimalPoint being the locale's in UTF-8.
void appendNumberText(std::string& out, double value, std::string_view decimalPoint);
// The locale's decimal separator in UTF-8.
std::string decimalPointUtf8(const QLocale& locale);

// The locale's short date form with a four-digit year.
QString shortDateFormat(const QLocale& locale);
// The time form appended to a date that is not at midnight (hours, minutes, seconds).
QString timeFormat(const QLocale& locale);
// A date in the short date form, then a blank and the time when it is not midnight.
QString formatDateTime(const QDate& date, const QTime& time, const QLocale& locale);

// The cell-to-text rule. Throws ConversionError for an error cell (the message names the
// error; cellText() of the workbook reader adds the place).
QString cellToText(const CellValue& value, const QLocale& locale);

// What the workstation's floating-point parser accepts: optional sign, digits with the locale's
// decimal separator, optional exponent; blanks around are ignored. No group separators.
std::optional<double> parseNumber(const QString& text, const QLocale& locale);
// Whole numbers only (for integer columns), within 64 bits.
std::optional<qint64> parseInteger(const QString& text, const QLocale& locale);
// The locale's short date form (two- or four-digit year) or yyyy-mm-dd, each optionally
// followed by a time (h:mm or h:mm:ss, optionally with the locale's AM/PM); a time alone is that
// time on 1900-01-01. Dates outside the calendar (2月30日) do not parse. The result carries
// Qt::UTC only so that no daylight-saving gap can make it invalid: it is a
// wall-clock reading with no time zone meaning.
std::optional<QDateTime> parseDateTime(const QString& text, const QLocale& locale);

} // namespace kestrel
