#include "database/db_value_conversion.h"

#include "text/codepage.h"
#include "text/errors.h"
#include "text/textrules.h"

#include <QCoreApplication>
#include <QDateTime>

namespace kestrel {

namespace {

using Kind = ColumnInfo::Kind;

const QString kStorageDateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

DatabaseError invalidValue(const char* what, const QString& text, const ColumnInfo& column) {
    return DatabaseError(QStringLiteral("'%1' is not a valid %2 value for field '%3'")
                             .arg(text, QLatin1String(what), column.name));
}

bool isAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

std::optional<bool> parseBoolean(const QString& text) {
    const QString lower = text.toLower();
    if (lower == QLatin1String("true") || lower == QLatin1String("y") ||
        lower == QLatin1String("1"))
        return true;
    if (lower == QLatin1String("false") || lower == QLatin1String("n") ||
        lower == QLatin1String("0"))
        return false;
    return std::nullopt;
}

QVariant nullOf(Kind kind) {
    switch (kind) {
    case Kind::Integer:
        return QVariant(QMetaType::fromType<qlonglong>());
    case Kind::Number:
        return QVariant(QMetaType::fromType<double>());
    case Kind::DateTime:
        return QVariant(QMetaType::fromType<QDateTime>());
    case Kind::Boolean:
        return QVariant(QMetaType::fromType<bool>());
    default:
        return QVariant(QMetaType::fromType<QString>());
    }
}

// A null QString would be bound as NULL; the empty text must stay a text.
const QString& nonNullText(const QString& text) {
    static const QString empty = QStringLiteral("");
    return text.isNull() ? empty : text;
}

bool fitsColumn(const ColumnInfo& column, const QString& text) {
    return column.length < 0 || text.size() <= column.length / (column.lengthInBytes ? 4 : 1);
}

QString cutText(const ColumnInfo& column, const QString& text) {
    if (fitsColumn(column, text))
        return text;
    if (!column.lengthInBytes)
        return truncateToCharacters(text, column.length);
    return truncateToBytes(text, column.length, column.codePage);
}

// SQLite hands back a date column as the text it was stored as.
std::optional<QDateTime> storedDate(const QString& text) {
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd", "yyyy-MM-dd HH:mm:ss.zzz",
                               "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime value = QDateTime::fromString(text, QLatin1String(format));
        if (value.isValid())
            return value;
    }
    return std::nullopt;
}

QString dateText(const QDateTime& value) {
    const QTime time = value.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return value.date().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString(kStorageDateFormat);
}

QString textOfString(const QString& text, Kind kind, const QLocale& locale) {
    if (kind == Kind::DateTime) {
        const std::optional<QDateTime> date = storedDate(text);
        return date ? dateText(*date) : text;
    }
    if (kind == Kind::Number) {
        bool ok = false;
        const double number = text.toDouble(&ok); // SQL Server decimals may come as C-locale text
        return ok ? formatNumber(number, locale) : text;
    }
    return text;
}

char* putDigits(char* out, int value, int digits) {
    for (int divisor = digits == 4 ? 1000 : 10; divisor > 0; divisor /= 10)
        *out++ = static_cast<char>('0' + (value / divisor) % 10);
    return out;
}

// QDateTime::toString parses its format on every call: the storage form is written directly,
// or by QDateTime where the year has not four digits.
QString storageDateText(const QDateTime& value) {
    char text[kStorageDateChars];
    if (!storageDateChars(value, text))
        return value.toString(kStorageDateFormat);
    return QString::fromLatin1(text, kStorageDateChars);
}

} // namespace

bool storageDateChars(const QDateTime& value, char* out) {
    const QDate date = value.date();
    const QTime time = value.time();
    if (date.year() < 1 || date.year() > 9999)
        return false;
    out = putDigits(out, date.year(), 4);
    *out++ = '-';
    out = putDigits(out, date.month(), 2);
    *out++ = '-';
    out = putDigits(out, date.day(), 2);
    *out++ = ' ';
    out = putDigits(out, time.hour(), 2);
    *out++ = ':';
    out = putDigits(out, time.minute(), 2);
    *out++ = ':';
    putDigits(out, time.second(), 2);
    return true;
}

QString truncateToCharacters(const QString& text, int maxUnits) {
    if (text.size() <= maxUnits)
        return text;
    qsizetype cut = maxUnits;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate() && text.at(cut).isLowSurrogate())
        --cut;
    return text.left(cut);
}

QString truncateToBytes(const QString& text, int maxBytes, int codePage) {
    if (isAscii(text))
        return text.left(maxBytes);
    if (encodeCodePage(text, codePage).size() <= maxBytes)
        return text;
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype width = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                                        text.at(end + 1).isLowSurrogate()
                                    ? 2
                                    : 1;
        const qsizetype encoded = encodeCodePage(text.mid(end, width), codePage).size();
        if (bytes + encoded > maxBytes)
            break;
        bytes += encoded;
        end += width;
    }
    return text.left(end);
}

namespace {

// The typed value of a non-empty text for a numeric, date or boolean column; invalid when the
// text does not convert.
QVariant parsedValue(Kind kind, const QString& text, const QLocale& locale) {
    switch (kind) {
    case Kind::Integer:
        if (const std::optional<qint64> value = parseInteger(text, locale))
            return QVariant::fromValue<qlonglong>(*value);
        return {};
    case Kind::Number:
        if (const std::optional<double> value = parseNumber(text, locale))
            return *value;
        return {};
    case Kind::DateTime:
        if (const std::optional<QDateTime> value = parseDateTime(text, locale))
            return *value;
        return {};
    default:
        if (const std::optional<bool> value = parseBoolean(text))
            return *value;
        return {};
    }
}

DatabaseError invalidValue(const QString& text, const ColumnInfo& column) {
    switch (column.kind) {
    case Kind::Integer:
        return invalidValue("integer", text, column);
    case Kind::Number:
        return invalidValue("floating point", text, column);
    case Kind::DateTime:
        return invalidValue("date and time", text, column);
    default:
        return invalidValue("boolean", text, column);
    }
}

// A text a column of a code page cannot hold would be stored with '?' for what it lacks.
void requireCodePageHolds(const ColumnInfo& column, const QString& text) {
    if (column.codePage != 0 && !isAscii(text) && !codePageHolds(text, column.codePage))
        throw DatabaseError(QCoreApplication::translate(
                                "Database",
                                "The text '%1' has characters that column '%2' (code page %3) "
                                "cannot hold")
                                .arg(text, column.name)
                                .arg(column.codePage));
}

// A date the column's type cannot hold fails here rather than on the server.
const QVariant& requireDateHeld(const ColumnInfo& column, const QString& text,
                                const QVariant& value) {
    if (!column.earliest.isValid() || value.isNull())
        return value;
    const QDate date = value.toDateTime().date();
    if (date < column.earliest || date > column.latest)
        throw DatabaseError(
            QCoreApplication::translate("Database",
                                        "'%1' is outside the dates column '%2' can hold (%3 to %4)")
                .arg(text, column.name, column.earliest.toString(QStringLiteral("yyyy-MM-dd")),
                     column.latest.toString(QStringLiteral("yyyy-MM-dd"))));
    return value;
}

// Text and untyped columns take the text itself; every other kind stores NULL for the empty
// text.
std::optional<QVariant> directValue(const ColumnInfo& column, const QString& text) {
    switch (column.kind) {
    case Kind::Text:
        requireCodePageHolds(column, text);
        if (fitsColumn(column, text)) // the text itself, shared rather than copied
            return QVariant(nonNullText(text));
        return QVariant(nonNullText(cutText(column, text)));
    case Kind::Other:
        return nonNullText(text);
    default:
        if (text.isEmpty())
            return nullOf(column.kind);
        return std::nullopt;
    }
}

} // namespace

QVariant convertText(const ColumnInfo& column, const QString& text, const QLocale& locale) {
    if (std::optional<QVariant> direct = directValue(column, text))
        return *direct;
    QVariant value = parsedValue(column.kind, text, locale);
    if (!value.isValid())
        throw invalidValue(text, column);
    return requireDateHeld(column, text, value);
}

QVariant TextConverter::convert(const ColumnInfo& column, const QString& text,
                                const QLocale& locale) {
    if (std::optional<QVariant> direct = directValue(column, text))
        return std::move(*direct);
    // Numbers parse faster by hand than a remembered text is found again; dates do not.
    if (column.kind != Kind::DateTime) {
        QVariant value = parsedValue(column.kind, text, locale);
        if (!value.isValid())
            throw invalidValue(text, column);
        return value;
    }
    if (!(locale == m_locale)) {
        m_locale = locale;
        m_parsedDates.clear();
    }
    QHash<QString, QVariant>& parsed = m_parsedDates;
    auto found = parsed.constFind(text);
    if (found == parsed.constEnd()) {
        if (parsed.size() >= kMaxRemembered)
            parsed.clear();
        found = parsed.insert(text, parsedValue(column.kind, text, locale));
    }
    if (!found.value().isValid())
        throw invalidValue(text, column);
    return requireDateHeld(column, text, found.value());
}

QVariant convertNumber(const ColumnInfo& column, double value, const QLocale& locale) {
    if (column.kind == Kind::Number)
        return value;
    if (column.kind == Kind::Integer && value == static_cast<double>(static_cast<qint64>(value)))
        return QVariant::fromValue<qlonglong>(static_cast<qint64>(value));
    return convertText(column, formatNumber(value, locale), locale);
}

bool isBoundAsStored(const QVariant& stored, Dialect dialect) {
    const QMetaType type = stored.metaType();
    return dialect != Dialect::Sqlite ||
           (type != QMetaType::fromType<QDateTime>() && type != QMetaType::fromType<bool>());
}

QVariant bindableValue(const QVariant& stored, Dialect dialect) {
    if (isBoundAsStored(stored, dialect))
        return stored;
    const QMetaType type = stored.metaType();
    if (type == QMetaType::fromType<QDateTime>()) {
        if (stored.isNull())
            return QVariant(QMetaType::fromType<QString>());
        return storageDateText(stored.toDateTime());
    }
    if (type == QMetaType::fromType<bool>()) {
        if (stored.isNull())
            return QVariant(QMetaType::fromType<int>());
        return stored.toBool() ? 1 : 0;
    }
    return stored;
}

QString valueText(const QVariant& value, Kind kind, const QLocale& locale) {
    if (value.isNull())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return textOfString(value.toString(), kind, locale);
    case QMetaType::Double:
    case QMetaType::Float:
        return formatNumber(value.toDouble(), locale);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        if (kind == Kind::Boolean)
            return value.toLongLong() != 0 ? QStringLiteral("True") : QStringLiteral("False");
        return QString::number(value.toLongLong());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDateTime:
        return dateText(value.toDateTime());
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return dateText(QDateTime(QDate(1900, 1, 1), value.toTime()));
    default:
        return value.toString();
    }
}

} // namespace kestrel
