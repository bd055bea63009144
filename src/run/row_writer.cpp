#include "run/row_writer.h"

#include "database/database.h"
#include "text/errors.h"
#include "text/textrules.h"

#include <QCoreApplication>

namespace kestrel {

namespace {

const QString kDateForm = QStringLiteral("yyyy-MM-dd");

QString mainRowText(const FieldContext& context, const QString& column) {
    if (!context.mainRow)
        throw Error(
            QCoreApplication::translate(
                "Run", "Field %1 is read from the main row written before, but there is none")
                .arg(column));
    return context.mainRow->fieldText(column);
}

QString templateText(const FieldContext& context, int column) {
    if (!context.templateText)
        throw Error(QCoreApplication::translate(
                        "Run", "There is no template row here to read column %1 from")
                        .arg(column));
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
    throw Error(QCoreApplication::translate("Run", "Field %1 has not been written in this row yet")
                    .arg(column));
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

void setMainRowNumber(Query& query, const QString& column, const QString& text,
                      const QLocale& locale) {
    if (text.isEmpty()) {
        query.setField(column, text);
        return;
    }
    const std::optional<double> value = parseNumber(text, locale);
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
            setMainRowNumber(query, write.column, mainRowText(context, write.source.text),
                             context.locale);
        else
            query.setField(write.column, sourceText(writes, i, context));
    }
}

struct CompiledRow::Field {
    int column = -1;        // the position in the query's table; -1 when it has no such column
    int mainColumn = -1;    // MainRow, MainRowNumber: the position in the main row's table
    qsizetype sameRow = -1; // SameRow: the field whose text is repeated; -1 when none
    std::optional<QString> constant; // a text fixed for the block, once evaluated
    std::optional<QVariant> stored;  // the constant as its column stores it, once converted
};

CompiledRow::CompiledRow(const FieldList& fields) : m_fields(fields) {}
CompiledRow::~CompiledRow() = default;
CompiledRow::CompiledRow(CompiledRow&&) noexcept = default;
CompiledRow& CompiledRow::operator=(CompiledRow&&) noexcept = default;

void CompiledRow::compile(const Query& query, const FieldContext& context) {
    const QList<FieldWrite>& writes = m_fields.writes();
    m_compiled.assign(static_cast<std::size_t>(writes.size()), Field{});
    m_texts.assign(static_cast<std::size_t>(writes.size()), QString());
    for (qsizetype i = 0; i < writes.size(); ++i) {
        const FieldWrite& write = writes.at(i);
        Field& field = m_compiled[static_cast<std::size_t>(i)];
        field.column = query.tableColumn(write.column);
        using Kind = FieldSource::Kind;
        switch (write.source.kind) {
        case Kind::SameRow:
            for (qsizetype j = i - 1; j >= 0 && field.sameRow < 0; --j) {
                if (writes.at(j).column.compare(write.source.text, Qt::CaseInsensitive) == 0)
                    field.sameRow = j;
            }
            break;
        case Kind::Text:
        case Kind::GroupNumber:
        case Kind::BranchNumber:
        case Kind::BranchName:
        case Kind::TodayPlusDays:
        case Kind::Number:
            field.constant = kestrel::sourceText(writes, i, context);
            break;
        default:
            break;
        }
    }
}

QString CompiledRow::mainRowText(const Field& field, const FieldContext& context) {
    const QString& column = m_fields.writes().at(&field - m_compiled.data()).source.text;
    if (!context.mainRow)
        return kestrel::mainRowText(context, column); // throws: no main row yet
    if (context.mainRow != m_mainRow) {
        m_mainRow = context.mainRow;
        for (std::size_t i = 0; i < m_compiled.size(); ++i) {
            const FieldSource& source = m_fields.writes().at(static_cast<qsizetype>(i)).source;
            if (source.kind == FieldSource::Kind::MainRow ||
                source.kind == FieldSource::Kind::MainRowNumber)
                m_compiled[i].mainColumn = m_mainRow->tableColumn(source.text);
        }
    }
    if (field.mainColumn < 0)
        return context.mainRow->fieldText(column); // throws: no such field
    return context.mainRow->fieldTextAt(field.mainColumn);
}

QString CompiledRow::sourceText(std::size_t index, const FieldContext& context) {
    const Field& field = m_compiled[index];
    if (field.constant)
        return *field.constant;
    const FieldWrite& write = m_fields.writes().at(static_cast<qsizetype>(index));
    switch (write.source.kind) {
    case FieldSource::Kind::Column:
        return templateText(context, write.source.column);
    case FieldSource::Kind::SameRow:
        if (field.sameRow < 0)
            throw Error(
                QCoreApplication::translate("Run", "Field %1 has not been written in this row yet")
                    .arg(write.source.text));
        return m_texts[static_cast<std::size_t>(field.sameRow)];
    case FieldSource::Kind::MainRow:
    case FieldSource::Kind::MainRowNumber:
        return mainRowText(field, context);
    default:
        return kestrel::sourceText(m_fields.writes(), static_cast<qsizetype>(index), context);
    }
}

void CompiledRow::write(Query& query, const FieldContext& context) {
    if (m_compiled.empty() && !m_fields.isEmpty())
        compile(query, context);
    const QList<FieldWrite>& writes = m_fields.writes();
    for (std::size_t i = 0; i < m_compiled.size(); ++i) {
        const FieldWrite& write = writes.at(static_cast<qsizetype>(i));
        Field& field = m_compiled[i];
        if (field.constant && field.column >= 0) {
            if (!m_texts[i].isSharedWith(*field.constant))
                m_texts[i] = *field.constant;
            if (!field.stored)
                field.stored = write.source.kind == FieldSource::Kind::Number
                                   ? query.storedNumberAt(field.column, write.source.number)
                                   : query.storedValueAt(field.column, *field.constant);
            query.setStoredAt(field.column, *field.stored);
            continue;
        }
        if (write.source.kind == FieldSource::Kind::Number) {
            m_texts[i] = *field.constant;
            if (field.column < 0)
                query.setFieldNumber(write.column, write.source.number);
            else
                query.setFieldNumberAt(field.column, write.source.number);
            continue;
        }
        m_texts[i] = sourceText(i, context);
        if (write.source.kind == FieldSource::Kind::MainRowNumber)
            setMainRowNumber(query, write.column, m_texts[i], context.locale);
        else if (field.column < 0)
            query.setField(write.column, m_texts[i]);
        else
            query.setFieldAt(field.column, m_texts[i]);
    }
}

} // namespace kestrel
