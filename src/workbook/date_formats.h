#pragma once

#include <QString>

namespace kestrel {

// Whether a number format code shows a date or a time: it holds a year, month, day, hour,
// minute or second token outside quoted text, escapes and brackets. "[h]:mm" counts by its
// minutes; "[h]" alone shows a number of hours and is no date.
bool isDateFormatCode(const QString& code);

// Built-in number formats that show dates or times when the workbook does not define the id
// itself: 14-22 and 45-47, and the Chinese/Japanese-locale ids 27-36 and 50-58.
bool isBuiltInDateFormat(int id);

} // namespace kestrel
