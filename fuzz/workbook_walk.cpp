#include "workbook_walk.h"

#include "text/cellvalue.h"
#include "text/date_texts.h"
#include "text/errors.h"
#include "text/textrules.h"

#include <QString>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

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

bool sameValue(const CellValue& a, const CellValue& b) {
    return a.type == b.type && a.text == b.text &&
           std::memcmp(&a.number, &b.number, sizeof a.number) == 0 && a.date == b.date &&
           a.time == b.time && a.boolean == b.boolean && a.errorCode == b.errorCode;
}

// The dump's fast texts of dates and numbers must be the cell-to-text rule's.
void checkFastTexts(const CellView& view, const QLocale& locale) {
    if (view.type != CellValue::Type::DateTime && view.type != CellValue::Type::Number)
        return;
    thread_local std::unique_ptr<DateCellTexts> dates;
    thread_local QLocale datesLocale;
    if (!dates || datesLocale != locale) {
        dates = std::make_unique<DateCellTexts>(locale);
        datesLocale = locale;
    }
    std::string text;
    if (view.type == CellValue::Type::DateTime)
        dates->append(text, view.date, view.time);
    else
        appendNumberText(text, view.number, decimalPointUtf8(locale));
    if (text != cellToText(view.value(), locale).toStdString())
        std::abort();
}

// Reading the row as views must give the same cells as the walk above, with cell()'s values.
void checkRowViews(const Workbook& book, int sheet, int row, int columnsWalked,
                   const QLocale& locale) {
    RowCells cells;
    book.readRow(sheet, row, cells);
    std::size_t next = 0;
    book.forEachCellInRow(sheet, row, [&](int column, const CellValue& value) {
        if (next >= cells.cells().size())
            std::abort(); // a cell the views left out
        const CellView& view = cells.cells()[next++];
        if (view.column != column || !sameValue(view.value(), value))
            std::abort();
        checkFastTexts(view, locale);
        if (column <= columnsWalked && !sameValue(value, book.cell(sheet, row, column)))
            std::abort();
    });
    if (next != cells.cells().size())
        std::abort(); // a cell the walk does not give
}

void walkRow(const Workbook& book, int sheet, int row, const QLocale& locale, int columnsWalked) {
    for (int column = 1; column <= columnsWalked; ++column)
        convertCell(book, sheet, row, column, locale);
    checkRowWalk(book, sheet, row, columnsWalked);
    checkRowViews(book, sheet, row, columnsWalked, locale);
}

// Values set in memory must read back unchanged, and reach the used range.
void checkSetCell(Workbook& book, int sheet, const QLocale& locale) {
    const auto marker = CellValue::fromText(QStringLiteral("导入"));
    book.setCell(sheet, 2, 3, marker);
    const CellValue back = book.cell(sheet, 2, 3);
    if (back.type != marker.type || back.text != marker.text || book.lastRow(sheet) < 2)
        std::abort();
    checkRowViews(book, sheet, 2, Workbook::kWalkedColumns, locale); // the value set merged in
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
        checkSetCell(book, sheet, locale);
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
