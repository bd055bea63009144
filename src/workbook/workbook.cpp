#include "workbook/workbook.h"

#include "text/errors.h"
#include "text/textrules.h"

#include <QCoreApplication>

namespace kestrel {

namespace {

QString columnLetters(int column) {
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(static_cast<char16_t>(u'A' + (n - 1) % 26)));
    return letters;
}

} // namespace

void Workbook::forEachCellInRow(int sheet, int row, const CellVisitor& visit) const {
    for (int column = 1; column <= kWalkedColumns; ++column) {
        const CellValue value = cell(sheet, row, column);
        if (!value.isBlank())
            visit(column, value);
    }
}

CellValue CellView::value() const {
    switch (type) {
    case CellValue::Type::Text:
        return CellValue::fromText(text.toString());
    case CellValue::Type::Number:
        return CellValue::fromNumber(number);
    case CellValue::Type::DateTime:
        return CellValue::fromDateTime(date, time);
    case CellValue::Type::Boolean:
        return CellValue::fromBoolean(boolean);
    case CellValue::Type::Error:
        return CellValue::fromError(errorCode);
    case CellValue::Type::Blank:
        break;
    }
    return CellValue::blank();
}

void RowCells::clear() {
    m_cells.clear();
    m_texts.clear();
}

CellView& RowCells::add(int column, CellValue::Type type) {
    CellView& cell = m_cells.emplace_back();
    cell.column = column;
    cell.type = type;
    return cell;
}

void RowCells::add(int column, const CellValue& value) {
    CellView& cell = add(column, value.type);
    // A QString keeps its characters where they are when the vector moves it.
    cell.text = m_texts.emplace_back(value.text);
    cell.number = value.number;
    cell.date = value.date;
    cell.time = value.time;
    cell.boolean = value.boolean;
    cell.errorCode = value.errorCode;
}

void Workbook::readRow(int sheet, int row, RowCells& cells) const {
    cells.clear();
    forEachCellInRow(sheet, row,
                     [&](int column, const CellValue& value) { cells.add(column, value); });
}

QString cellText(const Workbook& book, int sheet, int row, int column, const QLocale& locale) {
    const CellValue value = book.cell(sheet, row, column);
    if (value.type != CellValue::Type::Error)
        return cellToText(value, locale);
    // One multi-argument call: replacing %3 first would turn "%5%3" into a marker "%52".
    const QString rowText = QString::number(row);
    throw ConversionError(
        QCoreApplication::translate(
            "Workbook",
            "Cell %5 (row %3, column %4) of worksheet \"%2\" of file \"%1\" holds the error "
            "value %6 and cannot be turned into text")
            .arg(book.filePath(), book.worksheetName(sheet), rowText, QString::number(column),
                 columnLetters(column) + rowText, errorCodeText(value.errorCode)));
}

} // namespace kestrel
