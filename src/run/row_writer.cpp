#include "run/row_writer.h"

#include "database/database.h"
#include "text/errors.h"
#include "text/textrules.h"

namespace kestrel {

namespace {

const QString kDateForm = QStringLiteral("yyyy-MM-dd");

QString mainRowText(const FieldContext& context, const QString& column) {
    if (!context.mainRow)
        throw Error(QStringLiteral("字段 %1 须从已写入的主记录读取，但尚无主记录").arg(column));
    return context.mainRow->fieldText(column);
}

QString templateText(const FieldContext& context, int column) {
    if (!context.templateText)
        throw Error(QStringLiteral("此处没有模板行可读取第 %1 列").arg(column));
    return context.templateText(column);
}

QString sourceText(const QList<FieldWrite>& writes, qsizetype index, const FieldContext& context);

// The text set earlier in the same row for a column: its source is evaluated again, which gives
// the same text since every source is fixed for the row.
QString sameRowText(const QList<FieldWrite>& writes, qsizetype index, const QString& column,
                    const FieldContext& context) {
    for (qsizetype i = index - 1; i >= 0; --i) {
        if (writes.at(i).column.compare(column, Qt::CaseInsensitive) != 0)
            continue;
        if (writes.at(i).source.kind == FieldSource::Kind::Number)
            return formatNumber(writes.at(i).source.number, context.locale);
        return sourceText(writes, i, context);
    }
    throw Error(QStringLiteral("字段 %1 在本行中尚未写入").arg(column));
}

QString sourceText(const QList<FieldWrite>& writes, qsizetype index, const FieldContext& context) {
    const FieldSource& source = writes.at(index).source;
    switch (source.kind) {
    case FieldSource::Kind::Column:
        return templateText(context, source.column);
    case FieldSource::Kind::Text:
        return source.text;
    case FieldSource::Kind::GroupNumber:
        return context.identity.hotelTreeId;
    case FieldSource::Kind::BranchNumber:
        return context.identity.hotelId;
    case FieldSource::Kind::BranchName:
        return context.identity.hotelName;
    case FieldSource::Kind::SameRow:
        return sameRowText(writes, index, source.text, context);
    case FieldSource::Kind::MainRow:
        return mainRowText(context, source.text);
    case FieldSource::Kind::TodayPlusDays:
        return context.today.addDays(source.days).toString(kDateForm);
    case FieldSource::Kind::Number:
        return formatNumber(source.number, context.locale);
    case FieldSource::Kind::MainRowNumber:
        return mainRowText(context, source.text);
    }
    return {};
}

void setMainRowNumber(Query& query, const QString& column, const FieldSource& source,
                      const FieldContext& context) {
    const QString text = mainRowText(context, source.text);
    if (text.isEmpty()) {
        query.setField(column, text);
        return;
    }
    const std::optional<double> value = parseNumber(text, context.locale);
    if (!value)
        throw DatabaseError(
            QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                .arg(text, column));
    query.setFieldNumber(column, *value);
}

} // namespace

void writeFields(Query& query, const FieldList& fields, const FieldContext& context) {
    const QList<FieldWrite>& writes = fields.writes();
    for (qsizetype i = 0; i < writes.size(); ++i) {
        const FieldWrite& write = writes.at(i);
        if (write.source.kind == FieldSource::Kind::Number)
            query.setFieldNumber(write.column, write.source.number);
        else if (write.source.kind == FieldSource::Kind::MainRowNumber)
            setMainRowNumber(query, write.column, write.source, context);
        else
            query.setField(write.column, sourceText(writes, i, context));
    }
}

} // namespace kestrel
