#include "run/storage_checks.h"

#include "database/db_sql_text.h"
#include "database/db_table_meta.h"
#include "run/checks.h"
#include "text/codepage.h"
#include "text/textrules.h"
#include "workbook/workbook.h"

#include <QCoreApplication>

namespace kestrel {

namespace {

QString statementOf(const BlockDefinition& block, QueryRole role) {
    if (role == QueryRole::Card)
        return block.mainStatement;
    for (const QList<QueryOpening>* openings : {&block.preparatory, &block.importPassOpenings}) {
        for (const QueryOpening& opening : *openings) {
            if (opening.role == role)
                return opening.statement;
        }
    }
    return QString();
}

// The template column a field's text comes from (through same-row copies); 0 when none.
int templateColumnOf(const QList<FieldWrite>& writes, qsizetype index) {
    const FieldSource& source = writes.at(index).source;
    if (source.kind == FieldSource::Kind::Column)
        return source.column;
    if (source.kind != FieldSource::Kind::SameRow)
        return 0;
    for (qsizetype i = index - 1; i >= 0; --i) {
        if (writes.at(i).column.compare(source.text, Qt::CaseInsensitive) == 0)
            return templateColumnOf(writes, i);
    }
    return 0;
}

QString dateCheckTail(const QList<ColumnCheck>& checks, int column) {
    for (const ColumnCheck& check : checks) {
        if (check.column == column && check.rule == ColumnCheck::Rule::DateOrDefault)
            return check.tail;
    }
    return QString();
}

QString isoDate(QDate date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

StorageChecks::StorageChecks(const BlockDefinition& block, Database& database) {
    for (const WrittenRow& row : block.rows)
        addTargets(block, row, database);
    std::stable_sort(m_targets.begin(), m_targets.end(), [](const Target& a, const Target& b) {
        return a.templateColumn < b.templateColumn;
    });
}

void StorageChecks::addTargets(const BlockDefinition& block, const WrittenRow& row,
                               Database& database) {
    const std::shared_ptr<TableMeta> table =
        database.findTableMeta(selectedTable(statementOf(block, row.role)));
    if (!table)
        return;
    const QList<FieldWrite>& writes = row.fields.writes();
    for (qsizetype i = 0; i < writes.size(); ++i) {
        const int templateColumn = templateColumnOf(writes, i);
        const int index = table->names.indexOf(writes.at(i).column);
        if (templateColumn <= 0 || index < 0)
            continue;
        const ColumnInfo& column = table->columns.at(index);
        const bool dated = column.kind == ColumnInfo::Kind::DateTime && column.earliest.isValid();
        const bool codePaged = column.kind == ColumnInfo::Kind::Text && column.codePage != 0;
        if (dated || codePaged)
            m_targets.append({templateColumn, column, dateCheckTail(block.checks, templateColumn)});
    }
}

QString StorageChecks::dateProblem(const Target& target, const QString& text, int row,
                                   const QLocale& locale) const {
    const std::optional<QDateTime> value = parseDateTime(text, locale);
    if (!value)
        return QString();
    const QDate date = value->date();
    if (date >= target.column.earliest && date <= target.column.latest)
        return QString();
    if (!target.dateTail.isEmpty())
        return rowMessage(row, target.dateTail);
    return QCoreApplication::translate("Run",
                                       "Row %1: column %2 cannot hold the date %3 (it holds %4 "
                                       "to %5)")
        .arg(row)
        .arg(target.column.name, text, isoDate(target.column.earliest),
             isoDate(target.column.latest));
}

QString StorageChecks::problem(const Workbook& book, int sheet, int row,
                               const QLocale& locale) const {
    for (const Target& target : m_targets) {
        const QString text = cellText(book, sheet, row, target.templateColumn, locale);
        if (text.isEmpty())
            continue;
        if (target.column.kind == ColumnInfo::Kind::DateTime) {
            const QString problem = dateProblem(target, text, row, locale);
            if (!problem.isEmpty())
                return problem;
        } else if (!codePageHolds(text, target.column.codePage)) {
            return QCoreApplication::translate("Run",
                                               "Row %1: column %2 cannot hold the text \"%3\": "
                                               "code page %4 lacks some of its characters")
                .arg(row)
                .arg(target.column.name, text)
                .arg(target.column.codePage);
        }
    }
    return QString();
}

} // namespace kestrel
