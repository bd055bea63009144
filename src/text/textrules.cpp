#include "text/textrules.h"

#include "text/errors.h"

#include <QRegularExpression>
#include <cmath>

namespace kestrel {

namespace {

constexpr int kSignificantDigits = 15;
constexpr double kSmallestPlainMagnitude = 0.00001;
const QDate kAutomationDayZero(1899, 12, 30);

// Digits of |value| rounded to 15 significant digits, trailing zeros removed, and the decimal
// exponent of the first digit (value = d.ddd x 10^exponent).
struct Digits {
    QString digits;
    int exponent = 0;
};

Digits significantDigits(double magnitude) {
    const QString scientific = QString::number(magnitude, 'e', kSignificantDigits - 1);
    const qsizetype ePos = scientific.indexOf(QLatin1Char('e'));
    Digits result;
    result.digits = scientific.left(1) + scientific.mid(2, ePos - 2);
    result.exponent = scientific.mid(ePos + 1).toInt();
    while (result.digits.size() > 1 && result.digits.endsWith(QLatin1Char('0')))
        result.digits.chop(1);
    return result;
}

QString scientificForm(const Digits& d, const QString& decimalPoint) {
    QString text = d.digits.left(1);
    if (d.digits.size() > 1)
        text += decimalPoint + d.digits.mid(1);
    return text + QLatin1Char('E') + QString::number(d.exponent);
}

QString plainForm(const Digits& d, const QString& decimalPoint) {
    if (d.exponent < 0)
        return QLatin1Char('0') + decimalPoint + QString(-d.exponent - 1, QLatin1Char('0')) +
               d.digits;
    const qsizetype integerDigits = d.exponent + 1;
    if (d.digits.size() <= integerDigits)
        return d.digits + QString(integerDigits - d.digits.size(), QLatin1Char('0'));
    return d.digits.left(integerDigits) + decimalPoint + d.digits.mid(integerDigits);
}

bool isBlank(QChar c) {
    return c.unicode() <= 32;
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

DateOrder dateOrder(const QLocale& locale) {
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

std::optional<QDate> parseDatePart(const QString& text, const QLocale& locale) {
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

std::optional<QTime> parseTimePart(const QString& text, const QLocale& locale) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d{1,3}))?)?\\s*(\\S*)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    const int second = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    const int millisecond = match.captured(4).isEmpty()
                                ? 0
                                : match.captured(4).leftJustified(3, QLatin1Char('0')).toInt();
    const QString marker = match.captured(5);
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

QString formatNumber(double value, const QLocale& locale) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0.0)
        return QStringLiteral("0");
    const double magnitude = std::fabs(value);
    const Digits digits = significantDigits(magnitude);
    const QString decimalPoint = locale.decimalPoint();
    const bool scientific =
        digits.exponent >= kSignificantDigits || magnitude < kSmallestPlainMagnitude;
    const QString text =
        scientific ? scientificForm(digits, decimalPoint) : plainForm(digits, decimalPoint);
    return value < 0 ? QLatin1Char('-') + text : text;
}

QString shortDateFormat(const QLocale& locale) {
    thread_local LocaleFormCache cache;
    return cache.get(locale, fourDigitYearShortDateFormat);
}

QString timeFormat(const QLocale& locale) {
    thread_local LocaleFormCache cache;
    return cache.get(locale, timeWithSecondsFormat);
}

QString formatDateTime(const QDate& date, const QTime& time, const QLocale& locale) {
    QString text = locale.toString(date, shortDateFormat(locale));
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
    throw ConversionError(QStringLiteral("单元格的值是错误值 %1，无法转换为文本")
                              .arg(errorCodeText(value.errorCode)));
}

std::optional<double> parseNumber(const QString& text, const QLocale& locale) {
    QString candidate = trimmedBlanks(text);
    const QString decimalPoint = locale.decimalPoint();
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
