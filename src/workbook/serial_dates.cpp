#include "workbook/serial_dates.h"

#include <algorithm>
#include <cmath>

namespace kestrel {
namespace {

constexpr qint64 kSecondsPerDay = 86400;
constexpr double kLastSerial1900 = 2958466.0; // 10000-01-01
constexpr double kLastSerial1904 = kLastSerial1900 - 1462.0;

} // namespace

CellValue dateTimeFromSerial(double serial, bool date1904) {
    const double limit = date1904 ? kLastSerial1904 : kLastSerial1900;
    if (!(serial >= 0.0) || serial >= limit) {
        return CellValue::fromNumber(serial);
    }
    const auto seconds = static_cast<qint64>(std::llround(serial * double(kSecondsPerDay)));
    qint64 days = seconds / kSecondsPerDay;
    const auto secondOfDay = static_cast<int>(seconds % kSecondsPerDay);
    if (days >= qint64(limit)) {
        return CellValue::fromNumber(serial); // rounded up past the last day
    }
    // Julian day numbers: QDate(1904, 1, 1), QDate(1899, 12, 30) and the day after.
    constexpr qint64 k1904 = 2416481;
    constexpr qint64 kDayZero = 2415019;
    qint64 julianDay = kDayZero;
    if (date1904) {
        julianDay = k1904 + days;
    } else if (days >= 61) {
        julianDay = kDayZero + days;
    } else if (days >= 1) {
        julianDay = kDayZero + 1 + std::min<qint64>(days, 59);
    }
    return CellValue::fromDateTime(QDate::fromJulianDay(julianDay),
                                   QTime::fromMSecsSinceStartOfDay(secondOfDay * 1000));
}

void fillDateView(const CellValue& value, CellView& view) {
    view.type = value.type;
    view.number = value.number;
    view.date = value.date;
    view.time = value.time;
}

} // namespace kestrel
