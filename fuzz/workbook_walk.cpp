#include "workbook_walk.h"

#include "text/cellvalue.h"
#include "text/errors.h"

#include <QString>
#include <algorithm>
#include <cstdlib>

namespace kestrel::fuzz {

namespace {

void convertCell(const Workbook& book, int sheet, int row, int column, const QLocale& locale) {
    const CellValue value = book.cell(sheet, row, column);
    try {
        const QString text = cellText(book, sheet, row, column, locale);
        if (value.isBlank() && !text.isEmpty())
            std::abort(); // a blank cell must read as empty text
    } catch (const ConversionError&) {
        if (value.type != CellValue::Type::Error)
            std::abort(); // only error cells may refuse conversion
    }
}

// The walk over a row's existing cells must give, in column order, exactly the cells that
// cell() gives as not blank.
void checkRowWalk(const Workbook& book, int sheet, int row, int columnsWalked) {
    int previous = 0;
    int nextExpected = 1;
    book.forEachCellInRow(sheet, row, [&](int column, const CellValue& value) {
        if (column <= previous || column > Workbook::kWalkedColumns || value.isBlank())
            std::abort();
        previous = column;
        if (column > columnsWalked)
            return;
        for (; nextExpected < column; ++nextExpected) {
            if (!book.cell(sheet, row, nextExpected).isBlank())
                std::abort(); // a cell the walk left out
        }
        if (book.cell(sheet, row, column).type != value.type)
            std::abort();
        nextExpected = column + 1;
    });
}

void walkRow(const Workbook& book, int sheet, int row, const QLocale& locale, int columnsWalked) {
    for (int column = 1; column <= columnsWalked; ++column)
        convertCell(book, sheet, row, column, locale);
    checkRowWalk(book, sheet, row, columnsWalked);
}

// Values set in memory must read back unchanged, and reach the used range.
void checkSetCell(Workbook& book, int sheet) {
    const auto marker = CellValue::fromText(QStringLiteral("导入"));
    book.setCell(sheet, 2, 3, marker);
    const CellValue back = book.cell(sheet, 2, 3);
    if (back.type != marker.type || back.text != marker.text || book.lastRow(sheet) < 2)
        std::abort();
}

void walkWorksheet(Workbook& book, int sheet, const QLocale& locale, const WalkLimits& limits) {
    try {
        (void)book.worksheetName(sheet);
        const int lastRow = book.lastRow(sheet);
        if (lastRow < 0 || lastRow > limits.rowsAllowed)
            std::abort();
        const int rowsWalked = std::min(lastRow, limits.rowsWalked);
        for (int row = 1; row <= rowsWalked; ++row)
            walkRow(book, sheet, row, locale, limits.columnsWalked);
        if (lastRow > rowsWalked)
            walkRow(book, sheet, lastRow, locale, limits.columnsWalked);
        checkSetCell(book, sheet);
    } catch (const WorkbookError&) {
        // A damaged worksheet may be refused cleanly.
    }
}

// A worksheet that is not there must be refused with the reader's own error.
void checkMissingWorksheet(const Workbook& book) {
    try {
        (void)book.lastRow(book.worksheetCount() + 1);
    } catch (const WorkbookError&) {
        return;
    }
    std::abort();
}

} // namespace

void quietMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg)
        qt_message_output(type, QMessageLogContext(), message);
}

void walkWorkbook(Workbook& book, const QLocale& locale, const WalkLimits& limits) {
    const int sheets = book.worksheetCount();
    if (sheets < 0)
        std::abort();
    for (int sheet = 1; sheet <= sheets; ++sheet)
        walkWorksheet(book, sheet, locale, limits);
    checkMissingWorksheet(book);
}

} // namespace kestrel::fuzz
