#include "run/checks.h"

#include "text/textrules.h"
#include "workbook/workbook.h"

#include <QHash>

namespace kestrel {

namespace {

// The same few defaults (today plus a fixed number of days) go into many rows.
QString isoDateText(const QDate& date) {
    thread_local QHash<qint64, QString> texts;
    if (const auto found = texts.constFind(date.toJulianDay()); found != texts.constEnd())
        return found.value();
    if (texts.size() >= 64)
        texts.clear();
    return texts.insert(date.toJulianDay(), date.toString(QStringLiteral("yyyy-MM-dd"))).value();
}

CellValue defaultCell(const CellDefault& fallback, const Workbook& book, int sheet, int row,
                      const CheckEnvironment& environment) {
    switch (fallback.kind) {
    case CellDefault::Kind::Text:
        return CellValue::fromText(fallback.text);
    case CellDefault::Kind::Number:
        return CellValue::fromNumber(fallback.number);
    case CellDefault::Kind::TodayPlusDays:
        return CellValue::fromText(isoDateText(environment.today.addDays(fallback.days)));
    case CellDefault::Kind::CopyOfColumn:
        return CellValue::fromText(cellText(book, sheet, row, fallback.column, environment.locale));
    }
    return CellValue::blank();
}

enum class Verdict { Pass, Default, Otherwise, Fail };

Verdict judge(const ColumnCheck& check, const QString& text, const QLocale& locale) {
    using Rule = ColumnCheck::Rule;
    switch (check.rule) {
    case Rule::ReadOnly:
        return Verdict::Pass;
    case Rule::NotEmpty:
        return text.isEmpty() ? Verdict::Fail : Verdict::Pass;
    case Rule::DefaultWhenEmpty:
        return text.isEmpty() ? Verdict::Default : Verdict::Pass;
    case Rule::ReplaceUnlessAllowed:
        return check.allowed.contains(text) ? Verdict::Pass : Verdict::Default;
    case Rule::DefaultWhenEmptyElseAllowed:
        if (text.isEmpty())
            return Verdict::Default;
        return check.allowed.contains(text) ? Verdict::Pass : Verdict::Fail;
    case Rule::NumberOrDefault:
        if (text.isEmpty())
            return Verdict::Default;
        return parseNumber(text, locale) ? Verdict::Pass : Verdict::Fail;
    case Rule::DateOrDefault:
        if (text.isEmpty())
            return Verdict::Default;
        return parseDateTime(text, locale) ? Verdict::Pass : Verdict::Fail;
    case Rule::Classify:
        return check.allowed.contains(text) ? Verdict::Default : Verdict::Otherwise;
    }
    return Verdict::Pass;
}

// False when the default is a text equal to the cell's (a classifying check rewrites every cell).
bool changes(const CellDefault& written, const QString& text) {
    return written.kind != CellDefault::Kind::Text || written.text != text;
}

QString headerText(const Workbook& book, int sheet, int column, const QLocale& locale) {
    const CellValue header = book.cell(sheet, 1, column);
    return header.type == CellValue::Type::Error ? QString() : cellToText(header, locale);
}

DefaultsWritten describe(const CellDefault& written, int column, int cells, const Workbook& book,
                         int sheet, const CheckEnvironment& environment) {
    DefaultsWritten entry;
    entry.column = column;
    entry.header = headerText(book, sheet, column, environment.locale);
    entry.cells = cells;
    if (written.kind == CellDefault::Kind::CopyOfColumn)
        entry.copiedFromColumn = written.column;
    else
        entry.value =
            cellToText(defaultCell(written, book, sheet, 1, environment), environment.locale);
    return entry;
}

} // namespace

QList<DefaultsWritten> defaultsWritten(const Workbook& book, int sheet,
                                       const QList<ColumnCheck>& checks,
                                       const DefaultCounts& counts,
                                       const CheckEnvironment& environment) {
    QList<DefaultsWritten> entries;
    for (qsizetype index = 0; index < checks.size(); ++index) {
        const ColumnCheck& check = checks.at(index);
        const auto at = std::size_t(index);
        if (at < counts.fallback.size() && counts.fallback[at] > 0)
            entries.append(describe(check.fallback, check.column, counts.fallback[at], book, sheet,
                                    environment));
        if (at < counts.otherwise.size() && counts.otherwise[at] > 0)
            entries.append(describe(check.otherwise, check.column, counts.otherwise[at], book,
                                    sheet, environment));
    }
    return entries;
}

QString rowMessage(int row, const QString& tail) {
    return QStringLiteral("第") + QString::number(row) + tail;
}

QList<CheckFailure> checkRow(Workbook& book, int sheet, int row, const QList<ColumnCheck>& checks,
                             const CheckEnvironment& environment, bool allFailures,
                             DefaultCounts* counts) {
    QList<CheckFailure> failures;
    for (qsizetype index = 0; index < checks.size(); ++index) {
        const ColumnCheck& check = checks.at(index);
        const QString text = cellText(book, sheet, row, check.column, environment.locale);
        switch (judge(check, text, environment.locale)) {
        case Verdict::Pass:
            break;
        case Verdict::Default:
            book.setCell(sheet, row, check.column,
                         defaultCell(check.fallback, book, sheet, row, environment));
            if (counts && changes(check.fallback, text))
                ++counts->fallback[std::size_t(index)];
            break;
        case Verdict::Otherwise:
            book.setCell(sheet, row, check.column,
                         defaultCell(check.otherwise, book, sheet, row, environment));
            if (counts && changes(check.otherwise, text))
                ++counts->otherwise[std::size_t(index)];
            break;
        case Verdict::Fail:
            failures.append({row, check.column, rowMessage(row, check.tail)});
            if (!allFailures)
                return failures;
            break;
        }
    }
    return failures;
}

} // namespace kestrel
