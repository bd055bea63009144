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

} // namespace

QString rowMessage(int row, const QString& tail) {
    return QStringLiteral("第") + QString::number(row) + tail;
}

QList<CheckFailure> checkRow(Workbook& book, int sheet, int row, const QList<ColumnCheck>& checks,
                             const CheckEnvironment& environment, bool allFailures) {
    QList<CheckFailure> failures;
    for (const ColumnCheck& check : checks) {
        const QString text = cellText(book, sheet, row, check.column, environment.locale);
        switch (judge(check, text, environment.locale)) {
        case Verdict::Pass:
            break;
        case Verdict::Default:
            book.setCell(sheet, row, check.column,
                         defaultCell(check.fallback, book, sheet, row, environment));
            break;
        case Verdict::Otherwise:
            book.setCell(sheet, row, check.column,
                         defaultCell(check.otherwise, book, sheet, row, environment));
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
