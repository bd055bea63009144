#include "text/textrules.h"

#include "text/errors.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace kestrel {

namespace {

constexpr int kSignificantDigits = 15;
constexpr double kSmallestPlainMagnitude = 0.00001;
// Whole numbers below it have at most 15 digits: written as integers.
constexpr double kWholeNumberLimit = 1e15;
const QDate kAutomationDayZero(1899, 12, 30);

// Digits of |value| rounded to 15 significant digits, trailing zeros removed, and the decimal
// exponent of the first digit (value = d.ddd x 10^exponent).
struct Digits {
    char digits[kSignificantDigits + 1] = {};
    int count = 0;
    int exponent = 0;

    std::string_view view() const { return {digits, std::size_t(count)}; }
};

// The digits of magnitude in scientific form ("1.23450000000000e+01") with precision digits
// after the point, correctly rounded, ties to even.
char* scientificDigits(double magnitude, int precision, char* buffer, std::size_t size) {
    return std::to_chars(buffer, buffer + size, magnitude, std::chars_format::scientific, precision)
        .ptr;
}

// True when magnitude lies exactly halfway between two 15-digit values. The standard library
// rounds such a tie to even; the workstation's conversion rounds it away from zero.
bool isFifteenDigitTie(double magnitude) {
    char near[40];
    scientificDigits(magnitude, kSignificantDigits + 1, near, sizeof near);
    if (near[kSignificantDigits + 1] != '5' || near[kSignificantDigits + 2] != '0')
        return false;
    char exact[1100]; // a double's exact expansion has at most 767 significant digits
    char* const end = scientificDigits(magnitude, 1000, exact, sizeof exact);
    char* const ePos = std::find(exact, end, 'e');
    return exact[kSignificantDigits + 1] == '5' &&
           std::all_of(exact + kSignificantDigits + 2, ePos, [](char c) { return c == '0'; });
}

// Adds one unit in the last place to the digits "d.ddd..." before ePos; true on a carry out of
// the first digit (9.99... became 10.00...).
bool roundUpDigits(char* buffer, char* ePos) {
    for (char* digit = ePos - 1; digit >= buffer; --digit) {
        if (*digit == '.')
            continue;
        if (*digit != '9') {
            ++*digit;
            return false;
        }
        *digit = '0';
    }
    return true;
}

// Reads "d.ddde+x" (the point and the fraction optional) from buffer..end into result, dropping
// trailing zeros; false when it has more than 15 digits.
bool readScientific(const char* buffer, const char* end, Digits& result) {
    const char* const ePos = std::find(buffer, end, 'e');
    result.count = 0;
    for (const char* c = buffer; c != ePos; ++c) {
        if (*c == '.')
            continue;
        if (result.count == kSignificantDigits)
            return false;
        result.digits[result.count++] = *c;
    }
    std::from_chars(ePos + (ePos[1] == '+' ? 2 : 1), end, result.exponent);
    while (result.count > 1 && result.digits[result.count - 1] == '0')
        --result.count;
    return true;
}

// The first 15 digits of "d.ddd...e+x" (buffer..end, more than 15 digits), rounded up by one
// unit in the last place when roundUp is set.
Digits fifteenOf(char* buffer, char* end, bool roundUp) {
    constexpr std::ptrdiff_t kAfterFifteenth = kSignificantDigits + 1; // "d." and 14 more
    char* const ePos = std::find(buffer, end, 'e');
    const std::string exponent(ePos, end);
    const bool carry = roundUp && roundUpDigits(buffer, buffer + kAfterFifteenth);
    end = std::copy(exponent.begin(), exponent.end(), buffer + kAfterFifteenth);
    Digits result;
    readScientific(buffer, end, result);
    if (carry) {
        result.digits[0] = '1';
        result.count = 1;
        ++result.exponent;
    }
    return result;
}

// Amounts as entered, with at most four decimals: magnitude is the double nearest to N / 10^k
// with N below 10^15, so its 15-digit rounding is exactly that: it lies within half a unit in
// its last place of it, far less than half a unit in the 15th digit, and is no tie.
bool fewDecimals(double magnitude, Digits& result) {
    double scale = 1.0;
    for (int decimals = 1; decimals <= 4; ++decimals) {
        scale *= 10.0;
        const double scaled = std::round(magnitude * scale);
        if (scaled >= 1e15)
            return false;
        if (scaled == 0.0 || scaled / scale != magnitude)
            continue;
        char buffer[24];
        char* const end =
            std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(scaled)).ptr;
        result.count = int(end - buffer);
        std::copy(buffer, end, result.digits);
        result.exponent = result.count - 1 - decimals;
        while (result.count > 1 && result.digits[result.count - 1] == '0')
            --result.count;
        return true;
    }
    return false;
}

Digits significantDigits(double magnitude) {
    Digits result;
    if (fewDecimals(magnitude, result))
        return result;
    // 17 digits, correctly rounded: unless the 16th and 17th are "50", they tell which way the
    // exact value rounds at the 15th.
    char buffer[40];
    char* end = scientificDigits(magnitude, kSignificantDigits + 1, buffer, sizeof buffer);
    const char* const sixteenth = buffer + kSignificantDigits + 1;
    if (sixteenth[0] != '5' || sixteenth[1] != '0')
        return fifteenOf(buffer, end, sixteenth[0] >= '5');
    if (isFifteenDigitTie(magnitude)) {
        // Exactly halfway: the 16th digit, a 5, is dropped and the rest rounded up.
        end = scientificDigits(magnitude, kSignificantDigits, buffer, sizeof buffer);
        return fifteenOf(buffer, end, true);
    }
    end = scientificDigits(magnitude, kSignificantDigits - 1, buffer, sizeof buffer);
    readScientific(buffer, end, result);
    return result;
}

void appendInteger(std::string& out, long long value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void appendScientific(std::string& out, const Digits& d, std::string_view decimalPoint) {
    out.push_back(d.digits[0]);
    if (d.count > 1) {
        out.append(decimalPoint);
        out.append(d.digits + 1, std::size_t(d.count - 1));
    }
    out.push_back('E');
    appendInteger(out, d.exponent);
}

void appendPlain(std::string& out, const Digits& d, std::string_view decimalPoint) {
    const std::string_view digits = d.view();
    if (d.exponent < 0) {
        out.push_back('0');
        out.append(decimalPoint);
        out.append(std::size_t(-d.exponent - 1), '0');
        out.append(digits);
        return;
    }
    const std::size_t integerDigits = std::size_t(d.exponent) + 1;
    if (digits.size() <= integerDigits) {
        out.append(digits);
        out.append(integerDigits - digits.size(), '0');
        return;
    }
    out.append(digits.substr(0, integerDigits));
    out.append(decimalPoint);
    out.append(digits.substr(integerDigits));
}

QString decimalPointOf(const QLocale& locale);

bool isBlank(QChar c) {
    return c.unicode() <= 32;
}

bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool isDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Reads 1 to maxDigits ASCII digits at position; the number of digits read (0: none).
qsizetype readDigits(QStringView text, qsizetype position, qsizetype maxDigits, int& value) {
    qsizetype count = 0;
    value = 0;
    while (count < maxDigits && position + count < text.size() && isDigit(text[position + count])) {
        value = value * 10 + (text[position + count].unicode() - u'0');
        ++count;
    }
    return count;
}

qsizetype skipDigits(QStringView text, qsizetype position) {
    while (position < text.size() && isDigit(text[position]))
        ++position;
    return position;
}

// The shape [+-]?(digits[.digits?]|.digits)([eE][+-]?digits)? over the whole of an ASCII text.
// The ASCII text narrowed into buffer, without a leading plus sign (which from_chars refuses);
// false when it does not fit.
bool narrowForFromChars(QStringView text, char (&buffer)[64], qsizetype& size) {
    if (!text.isEmpty() && text[0] == u'+')
        text = text.mid(1);
    if (text.size() >= qsizetype(sizeof buffer))
        return false;
    size = text.size();
    for (qsizetype i = 0; i < size; ++i)
        buffer[i] = static_cast<char>(text[i].unicode());
    return true;
}

// The value of an ASCII text already of number (or integer) shape. std::from_chars rounds
// correctly as Qt does, at a tenth of the cost; what it refuses (out of range) Qt reads, so the
// edges stay Qt's.
template <typename Value, typename QtReading>
Value readAsciiNumber(QStringView text, bool* ok, QtReading qtReading) {
    char buffer[64];
    qsizetype size = 0;
    if (narrowForFromChars(text, buffer, size)) {
        Value value{};
        const std::from_chars_result end = std::from_chars(buffer, buffer + size, value);
        if (end.ec == std::errc() && end.ptr == buffer + size) {
            *ok = true;
            return value;
        }
    }
    return qtReading(text, ok);
}

bool hasNumberShape(QStringView text) {
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype integerEnd = skipDigits(text, i);
    bool digits = integerEnd > i;
    i = integerEnd;
    if (i < text.size() && text[i] == u'.') {
        const qsizetype fractionEnd = skipDigits(text, i + 1);
        digits = digits || fractionEnd > i + 1;
        i = fractionEnd;
    }
    if (!digits)
        return false;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        const qsizetype exponentEnd = skipDigits(text, i);
        if (exponentEnd == i)
            return false;
        i = exponentEnd;
    }
    return i == text.size();
}

bool hasIntegerShape(QStringView text) {
    const qsizetype start = !text.isEmpty() && (text[0] == u'+' || text[0] == u'-') ? 1 : 0;
    return text.size() > start && skipDigits(text, start) == text.size();
}

QStringView trimmedBlanksView(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString trimmedBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// Day, month and year positions of the locale's short date form, and its separator.
struct DateOrder {
    int dayIndex = 0;
    int monthIndex = 1;
    int yearIndex = 2;
};

DateOrder readDateOrder(const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    struct Token {
        qsizetype position;
        QChar letter;
    };
    QList<Token> tokens;
    for (const QChar letter : {QLatin1Char('d'), QLatin1Char('M'), QLatin1Char('y')}) {
        const qsizetype position = format.indexOf(letter);
        tokens.append({position < 0 ? format.size() : position, letter});
    }
    std::sort(tokens.begin(), tokens.end(),
              [](const Token& a, const Token& b) { return a.position < b.position; });
    DateOrder order;
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens[i].letter == QLatin1Char('d'))
            order.dayIndex = i;
        else if (tokens[i].letter == QLatin1Char('M'))
            order.monthIndex = i;
        else
            order.yearIndex = i;
    }
    return order;
}

// Every date text asks for the order: the answer for the last locale of a thread is kept.
DateOrder dateOrder(const QLocale& locale) {
    thread_local QLocale cachedLocale;
    thread_local std::optional<DateOrder> cached;
    if (!cached || locale != cachedLocale) {
        cached = readDateOrder(locale);
        cachedLocale = locale;
    }
    return *cached;
}

int expandTwoDigitYear(int year, qsizetype digits) {
    if (digits > 2)
        return year;
    // The window of the hundred years around today, as the workstation's date parser reads
    // two-digit years.
    const int thisYear = QDate::currentDate().year();
    int candidate = (thisYear / 100) * 100 + year;
    if (candidate > thisYear + 50)
        candidate -= 100;
    else if (candidate <= thisYear - 50)
        candidate += 100;
    return candidate;
}

// The three digit fields of "d{1,4} sep d{1,2} sep d{1,4}" (sep one of - / . and the same
// twice), as the pattern of parseDatePart() reads an ASCII text.
struct DateFields {
    int values[3] = {0, 0, 0};
    qsizetype digits[3] = {0, 0, 0};
};

std::optional<DateFields> readDateFields(QStringView text) {
    DateFields fields;
    qsizetype i = 0;
    QChar separator;
    const qsizetype maxDigits[3] = {4, 2, 4};
    for (int field = 0; field < 3; ++field) {
        fields.digits[field] = readDigits(text, i, maxDigits[field], fields.values[field]);
        if (fields.digits[field] == 0)
            return std::nullopt;
        i += fields.digits[field];
        if (field == 2)
            break;
        if (i >= text.size())
            return std::nullopt;
        const QChar c = text[i];
        if (field == 0 && c != u'-' && c != u'/' && c != u'.')
            return std::nullopt;
        if (field == 1 && c != separator)
            return std::nullopt;
        separator = c;
        ++i;
    }
    if (i != text.size())
        return std::nullopt;
    return fields;
}

std::optional<QDate> dateFromFields(const DateFields& fields, const QLocale& locale) {
    int year = 0;
    int month = 0;
    int day = 0;
    if (fields.digits[0] > 2) {
        // A four-digit first field is always year-month-day, as in 2026-01-05.
        if (fields.digits[2] > 2)
            return std::nullopt;
        year = fields.values[0];
        month = fields.values[1];
        day = fields.values[2];
    } else {
        const DateOrder order = dateOrder(locale);
        const qsizetype yearDigits = fields.digits[order.yearIndex];
        if (yearDigits == 3 || fields.digits[order.dayIndex] > 2 ||
            fields.digits[order.monthIndex] > 2)
            return std::nullopt;
        year = expandTwoDigitYear(fields.values[order.yearIndex], yearDigits);
        month = fields.values[order.monthIndex];
        day = fields.values[order.dayIndex];
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QDate> parseDatePart(const QString& text, const QLocale& locale) {
    if (isAscii(text)) {
        const std::optional<DateFields> fields = readDateFields(text);
        return fields ? dateFromFields(*fields, locale) : std::nullopt;
    }
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,4})([-/.])(\\d{1,2})\\2(\\d{1,4})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString parts[3] = {match.captured(1), match.captured(3), match.captured(4)};
    int year = 0;
    int month = 0;
    int day = 0;
    if (parts[0].size() > 2) {
        // A four-digit first field is always year-month-day, as in 2026-01-05.
        year = parts[0].toInt();
        month = parts[1].toInt();
        day = parts[2].toInt();
        if (parts[2].size() > 2)
            return std::nullopt;
    } else {
        const DateOrder order = dateOrder(locale);
        const QString& yearText = parts[order.yearIndex];
        if (yearText.size() == 3 || parts[order.dayIndex].size() > 2 ||
            parts[order.monthIndex].size() > 2)
            return std::nullopt;
        year = expandTwoDigitYear(yearText.toInt(), yearText.size());
        month = parts[order.monthIndex].toInt();
        day = parts[order.dayIndex].toInt();
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

bool matchesMarker(const QString& text, const QString& marker) {
    return !marker.isEmpty() && text.compare(marker, Qt::CaseInsensitive) == 0;
}

// The fields of "h:m[:s[.fff]] [marker]" as the pattern of parseTimePart() reads them.
struct TimeFields {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    QString marker;
};

bool isAsciiSpace(QChar c) {
    return c == u' ' || (c.unicode() >= 9 && c.unicode() <= 13);
}

// An ASCII text read greedily, which is how the pattern's first match reads it: a shorter
// reading of an optional part leaves digits before the marker and cannot match either.
std::optional<TimeFields> readTimeFields(QStringView text) {
    TimeFields fields;
    qsizetype i = readDigits(text, 0, 2, fields.hour);
    if (i == 0 || i >= text.size() || text[i] != u':')
        return std::nullopt;
    const qsizetype minuteDigits = readDigits(text, ++i, 2, fields.minute);
    if (minuteDigits == 0)
        return std::nullopt;
    i += minuteDigits;
    if (i + 1 < text.size() && text[i] == u':' && isDigit(text[i + 1])) {
        i += 1 + readDigits(text, i + 1, 2, fields.second);
        if (i + 1 < text.size() && text[i] == u'.' && isDigit(text[i + 1])) {
            const qsizetype msDigits = readDigits(text, i + 1, 3, fields.millisecond);
            for (qsizetype pad = msDigits; pad < 3; ++pad)
                fields.millisecond *= 10;
            i += 1 + msDigits;
        }
    }
    while (i < text.size() && isAsciiSpace(text[i]))
        ++i;
    const qsizetype markerStart = i;
    while (i < text.size() && !isAsciiSpace(text[i]))
        ++i;
    if (i != text.size())
        return std::nullopt;
    fields.marker = text.mid(markerStart).toString();
    return fields;
}

std::optional<TimeFields> matchTimeFields(const QString& text) {
    if (isAscii(text))
        return readTimeFields(text);
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d{1,3}))?)?\\s*(\\S*)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    TimeFields fields;
    fields.hour = match.captured(1).toInt();
    fields.minute = match.captured(2).toInt();
    fields.second = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    fields.millisecond = match.captured(4).isEmpty()
                             ? 0
                             : match.captured(4).leftJustified(3, QLatin1Char('0')).toInt();
    fields.marker = match.captured(5);
    return fields;
}

std::optional<QTime> parseTimePart(const QString& text, const QLocale& locale) {
    const std::optional<TimeFields> fields = matchTimeFields(text);
    if (!fields)
        return std::nullopt;
    int hour = fields->hour;
    const int minute = fields->minute;
    const int second = fields->second;
    const int millisecond = fields->millisecond;
    const QString& marker = fields->marker;
    if (!marker.isEmpty()) {
        const bool am =
            matchesMarker(marker, locale.amText()) || matchesMarker(marker, QStringLiteral("AM"));
        const bool pm =
            matchesMarker(marker, locale.pmText()) || matchesMarker(marker, QStringLiteral("PM"));
        if ((!am && !pm) || hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    const QTime time(hour, minute, second, millisecond);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString fourDigitYearShortDateFormat(const QLocale& locale) {
    // The C locale has no convention of its own (Qt writes "d MMM yy"): use the ISO form.
    if (locale.language() == QLocale::C)
        return QStringLiteral("yyyy-MM-dd");
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression shortYear(QStringLiteral("(?<!y)y{1,3}(?!y)"));
    format.replace(shortYear, QStringLiteral("yyyy"));
    return format;
}

QString timeWithSecondsFormat(const QLocale& locale) {
    if (locale.language() == QLocale::C)
        return QStringLiteral("HH:mm:ss");
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1Char('s'))) {
        const qsizetype minutes = format.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            format.insert(minutes + 2, QLatin1String(":ss"));
        else
            format = QStringLiteral("H:mm:ss");
    }
    return format;
}

// Every date cell asks for its forms: the answer for the last locale of a thread is kept.
class LocaleFormCache {
public:
    QString get(const QLocale& locale, QString (*make)(const QLocale&)) {
        if (!m_filled || locale != m_locale) {
            m_form = make(locale);
            m_locale = locale;
            m_filled = true;
        }
        return m_form;
    }

private:
    QLocale m_locale;
    QString m_form;
    bool m_filled = false;
};

QString readDecimalPoint(const QLocale& locale) {
    return locale.decimalPoint();
}

QString decimalPointOf(const QLocale& locale) {
    thread_local LocaleFormCache cache;
    return cache.get(locale, readDecimalPoint);
}

// Short date forms that spell the month ("d MMM yyyy") do not fit the numeric reading: read
// them, with or without the time, by the forms formatDateTime() writes.
std::optional<QDateTime> parseWithLocaleForms(const QString& text, const QLocale& locale) {
    const QString dateForm = shortDateFormat(locale);
    for (const QString& form : {dateForm, dateForm + QLatin1Char(' ') + timeFormat(locale)}) {
        const QDateTime parsed = locale.toDateTime(text, form);
        if (parsed.isValid())
            return QDateTime(parsed.date(), parsed.time(), Qt::UTC);
    }
    return std::nullopt;
}

} // namespace

void appendNumberText(std::string& out, double value, std::string_view decimalPoint) {
    if (std::isnan(value)) {
        out.append("NAN");
        return;
    }
    if (std::isinf(value)) {
        out.append(value > 0 ? "INF" : "-INF");
        return;
    }
    if (value == 0.0) {
        out.push_back('0');
        return;
    }
    const double magnitude = std::fabs(value);
    if (magnitude < kWholeNumberLimit && magnitude == std::floor(magnitude)) {
        appendInteger(out, static_cast<long long>(value)); // all its digits, no point
        return;
    }
    const Digits digits = significantDigits(magnitude);
    if (value < 0)
        out.push_back('-');
    if (digits.exponent >= kSignificantDigits || magnitude < kSmallestPlainMagnitude)
        appendScientific(out, digits, decimalPoint);
    else
        appendPlain(out, digits, decimalPoint);
}

std::string decimalPointUtf8(const QLocale& locale) {
    thread_local QLocale cachedLocale;
    thread_local std::optional<std::string> cached;
    if (!cached || locale != cachedLocale) {
        cached = locale.decimalPoint().toStdString();
        cachedLocale = locale;
    }
    return *cached;
}

QString formatNumber(double value, const QLocale& locale) {
    std::string text;
    appendNumberText(text, value, decimalPointUtf8(locale));
    return QString::fromStdString(text);
}

QString shortDateFormat(const QLocale& locale) {
    thread_local LocaleFormCache cache;
    return cache.get(locale, fourDigitYearShortDateFormat);
}

QString timeFormat(const QLocale& locale) {
    thread_local LocaleFormCache cache;
    return cache.get(locale, timeWithSecondsFormat);
}

namespace {

// Date cells repeat their days (birthdays, card dates) over thousands of rows, and QLocale
// reads its format anew for each: the text of each day is kept for the latest locale.
QString dateCellText(const QDate& date, const QLocale& locale) {
    struct Texts {
        QLocale locale;
        QHash<qint64, QString> byDay;
    };
    thread_local Texts texts;
    if (!(texts.locale == locale)) {
        texts.locale = locale;
        texts.byDay.clear();
    }
    const qint64 day = date.toJulianDay();
    if (const auto found = texts.byDay.constFind(day); found != texts.byDay.constEnd())
        return found.value();
    if (texts.byDay.size() >= 100000) // a century of days; more is a sheet of random dates
        texts.byDay.clear();
    return texts.byDay.insert(day, locale.toString(date, shortDateFormat(locale))).value();
}

} // namespace

QString formatDateTime(const QDate& date, const QTime& time, const QLocale& locale) {
    QString text = dateCellText(date, locale);
    if (time.isValid() && time != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(time, timeFormat(locale));
    return text;
}

QString cellToText(const CellValue& value, const QLocale& locale) {
    switch (value.type) {
    case CellValue::Type::Blank:
        return {};
    case CellValue::Type::Text:
        return value.text;
    case CellValue::Type::Number:
        return formatNumber(value.number, locale);
    case CellValue::Type::DateTime:
        // Day zero of automation dates holds a time of day alone: only the time is shown.
        if (value.date == kAutomationDayZero)
            return locale.toString(value.time.isValid() ? value.time : QTime(0, 0),
                                   timeFormat(locale));
        return formatDateTime(value.date, value.time, locale);
    case CellValue::Type::Boolean:
        return value.boolean ? QStringLiteral("True") : QStringLiteral("False");
    case CellValue::Type::Error:
        break;
    }
    throw ConversionError(
        QCoreApplication::translate(
            "Text", "The cell holds the error value %1 and cannot be turned into text")
            .arg(errorCodeText(value.errorCode)));
}

std::optional<double> parseNumber(const QString& text, const QLocale& locale) {
    const QString decimalPoint = decimalPointOf(locale);
    if (decimalPoint == QLatin1String(".") && isAscii(text)) {
        const QStringView candidate = trimmedBlanksView(text);
        if (!hasNumberShape(candidate))
            return std::nullopt;
        bool ok = false;
        const double value = readAsciiNumber<double>(
            candidate, &ok, [](QStringView digits, bool* read) { return digits.toDouble(read); });
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    }
    QString candidate = trimmedBlanks(text);
    if (decimalPoint != QLatin1String(".")) {
        if (candidate.contains(QLatin1Char('.')))
            return std::nullopt;
        candidate.replace(decimalPoint, QLatin1String("."));
    }
    static const QRegularExpression pattern(
        QStringLiteral("^[+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?$"));
    if (!pattern.match(candidate).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = candidate.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint64> parseInteger(const QString& text, const QLocale& /*locale*/) {
    if (isAscii(text)) {
        const QStringView candidate = trimmedBlanksView(text);
        if (!hasIntegerShape(candidate))
            return std::nullopt;
        bool ok = false;
        const qint64 value = readAsciiNumber<qint64>(
            candidate, &ok, [](QStringView digits, bool* read) { return digits.toLongLong(read); });
        if (!ok)
            return std::nullopt;
        return value;
    }
    const QString candidate = trimmedBlanks(text);
    static const QRegularExpression pattern(QStringLiteral("^[+-]?\\d+$"));
    if (!pattern.match(candidate).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = candidate.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<QDateTime> parseDateTime(const QString& text, const QLocale& locale) {
    const QString candidate = trimmedBlanks(text);
    if (candidate.isEmpty())
        return std::nullopt;
    const qsizetype blank = candidate.indexOf(QLatin1Char(' '));
    const QString first = blank < 0 ? candidate : candidate.left(blank);
    const QString rest = blank < 0 ? QString() : trimmedBlanks(candidate.mid(blank + 1));

    if (const std::optional<QDate> date = parseDatePart(first, locale)) {
        if (rest.isEmpty())
            return QDateTime(*date, QTime(0, 0), Qt::UTC);
        if (const std::optional<QTime> time = parseTimePart(rest, locale))
            return QDateTime(*date, *time, Qt::UTC);
        return std::nullopt;
    }
    if (const std::optional<QTime> time = parseTimePart(candidate, locale))
        return QDateTime(QDate(1900, 1, 1), *time, Qt::UTC);
    return parseWithLocaleForms(candidate, locale);
}

} // namespace kestrel
