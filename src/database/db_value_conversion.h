#pragma once

#include "database/database.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>
#include <QVariant>

namespace kestrel {

// How a text written to a field becomes the value stored in its column, and how a stored value
// reads back as text.

// Cuts a text to at most maxUnits UTF-16 units without splitting a surrogate pair.
QString truncateToCharacters(const QString& text, int maxUnits);
// Cuts a text so that its encoding in the code page takes at most maxBytes bytes, never
// splitting a character.
QString truncateToBytes(const QString& text, int maxBytes, int codePage);

// The value a text stores in the column: a null QVariant for NULL, else QString (text and
// untyped columns), qlonglong, double, QDateTime or bool. Throws DatabaseError with the
// "'%s' is not a valid ... value for field '%s'" messages.
QVariant convertText(const ColumnInfo& column, const QString& text, const QLocale& locale);
// The value for a number written as a number (not as text).
QVariant convertNumber(const ColumnInfo& column, double value, const QLocale& locale);

// convertText with the parsing of date texts remembered: an import writes the same few dates
// ("1990-01-01", today's date) into many rows. Exactly what convertText gives.
class TextConverter {
public:
    QVariant convert(const ColumnInfo& column, const QString& text, const QLocale& locale);

private:
    static constexpr qsizetype kMaxRemembered = 4096;
    QLocale m_locale;
    QHash<QString, QVariant> m_parsedDates; // invalid: does not parse
};

// The form a stored value is bound in for the dialect: SQLite keeps dates as
// 'YYYY-MM-DD HH:MM:SS' text and booleans as 1 and 0.
QVariant bindableValue(const QVariant& stored, Dialect dialect);
// A date's form in a SQLite text column, 'yyyy-MM-dd hh:mm:ss', written into out (that many
// characters, no terminator); false, with nothing written, for a year outside 1 to 9999, whose
// form bindableValue() gives.
constexpr int kStorageDateChars = 19;
bool storageDateChars(const QDateTime& value, char* out);
// True when bindableValue() gives the stored value itself: it may be bound without a copy.
bool isBoundAsStored(const QVariant& stored, Dialect dialect);

// A value read from the database or stored by a post, as text: NULL as the empty text, numbers
// by the cell-to-text rule, dates as yyyy-mm-dd with " hh:mm:ss" when the time is not
// midnight, booleans as True or False. The kind tells how to read SQLite's untyped storage.
QString valueText(const QVariant& value, ColumnInfo::Kind kind, const QLocale& locale);

} // namespace kestrel
