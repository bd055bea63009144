#pragma once

#include "run/import_definition.h"

#include <QString>
#include <QStringList>

// Short forms of the checks the importer descriptions use. The texts are UTF-8 literals.
namespace kestrel::checks {

inline QString utf8(const char* text) {
    return QString::fromUtf8(text);
}

// Read (an error cell still ends the run), nothing checked.
inline ColumnCheck readOnly(int column) {
    return {column, ColumnCheck::Rule::ReadOnly, {}, {}, {}, {}};
}

// An empty cell fails with "第", the row number and tail.
inline ColumnCheck notEmpty(int column, const char* tail) {
    return {column, ColumnCheck::Rule::NotEmpty, utf8(tail), {}, {}, {}};
}

// An empty cell gets the text; anything else is left as it is, untested.
inline ColumnCheck textWhenEmpty(int column, const char* text) {
    return {column, ColumnCheck::Rule::DefaultWhenEmpty, {},
            {},     CellDefault::ofText(utf8(text)),     {}};
}

// A text that is not "y" or "n" exactly (the empty text included) becomes fallback.
inline ColumnCheck yesNoFlag(int column, const char* fallback) {
    return {column,
            ColumnCheck::Rule::ReplaceUnlessAllowed,
            {},
            {utf8("y"), utf8("n")},
            CellDefault::ofText(utf8(fallback)),
            {}};
}

// A text not among allowed (the empty text included) becomes replacement.
inline ColumnCheck replaceUnless(int column, const QStringList& allowed, const char* replacement) {
    return {column,  ColumnCheck::Rule::ReplaceUnlessAllowed, {},
            allowed, CellDefault::ofText(utf8(replacement)),  {}};
}

// An empty cell gets the text of sourceColumn (as checked so far).
inline ColumnCheck copyWhenEmpty(int column, int sourceColumn) {
    return {column, ColumnCheck::Rule::DefaultWhenEmpty,     {},
            {},     CellDefault::copyOfColumn(sourceColumn), {}};
}

// An empty cell gets fallback; a text not among allowed fails with tail.
inline ColumnCheck allowedOrDefault(int column, const QStringList& allowed, const char* fallback,
                                    const char* tail) {
    return {column,
            ColumnCheck::Rule::DefaultWhenEmptyElseAllowed,
            utf8(tail),
            allowed,
            CellDefault::ofText(utf8(fallback)),
            {}};
}

// An empty cell gets 0; any other text must be a number, else it fails with tail.
inline ColumnCheck numberOrZero(int column, const char* tail) {
    return {column, ColumnCheck::Rule::NumberOrDefault, utf8(tail),
            {},     CellDefault::ofNumber(0),           {}};
}

// An empty cell gets fallback; any other text must be a date, else it fails with tail.
inline ColumnCheck dateOrDefault(int column, const char* tail, const CellDefault& fallback) {
    return {column, ColumnCheck::Rule::DateOrDefault, utf8(tail), {}, fallback, {}};
}

// An empty cell gets today's date ("yyyy-mm-dd"); any other text must be a date.
inline ColumnCheck dateOrToday(int column, const char* tail) {
    return dateOrDefault(column, tail, CellDefault::todayPlusDays(0));
}

// Always rewritten: to whenAllowed when the text is among allowed, else to otherwise.
inline ColumnCheck classify(int column, const QStringList& allowed, const char* whenAllowed,
                            const char* otherwise) {
    return {column,
            ColumnCheck::Rule::Classify,
            {},
            allowed,
            CellDefault::ofText(utf8(whenAllowed)),
            CellDefault::ofText(utf8(otherwise))};
}

} // namespace kestrel::checks
