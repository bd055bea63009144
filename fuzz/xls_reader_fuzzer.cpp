// libFuzzer entry for the .xls reader: opens arbitrary bytes as a workbook and walks every
// worksheet the way an import run would. Any exception other than the reader's own errors, any
// sanitizer report, a hang or runaway memory is a finding.

#include "text/cellvalue.h"
#include "text/codepage.h"
#include "text/errors.h"
#include "text/textrules.h"
#include "workbook/workbook.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// Enough to reach every record kind a damaged file can hold without turning a sheet that claims
// 65,536 rows into a slow input.
constexpr int maxRowsWalked = 2000;
constexpr int maxColumnsWalked = 64;

// The reader may warn through Qt's logging; thousands of inputs a second would flood the log.
void quietMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        qt_message_output(type, QMessageLogContext(), message);
    }
}

void convertCell(const kestrel::CellValue& value, const QLocale& locale) {
    try {
        const QString text = kestrel::cellToText(value, locale);
        if (value.isBlank() && !text.isEmpty()) {
            std::abort(); // a blank cell must read as empty text
        }
    } catch (const kestrel::ConversionError&) {
        if (value.type != kestrel::CellValue::Type::Error) {
            std::abort(); // only error cells may refuse conversion
        }
    }
}

// The walk over a row's existing cells must give, in column order, exactly the cells that
// cell() gives as not blank.
void checkRowWalk(const kestrel::Workbook& book, int sheet, int row) {
    int previous = 0;
    int nextExpected = 1;
    book.forEachCellInRow(sheet, row, [&](int column, const kestrel::CellValue& value) {
        if (column <= previous || column > kestrel::Workbook::kWalkedColumns || value.isBlank()) {
            std::abort();
        }
        previous = column;
        if (column > maxColumnsWalked) {
            return;
        }
        for (; nextExpected < column; ++nextExpected) {
            if (!book.cell(sheet, row, nextExpected).isBlank()) {
                std::abort(); // a cell the walk left out
            }
        }
        if (book.cell(sheet, row, column).type != value.type) {
            std::abort();
        }
        nextExpected = column + 1;
    });
}

void walkRow(const kestrel::Workbook& book, int sheet, int row, const QLocale& locale) {
    for (int column = 1; column <= maxColumnsWalked; ++column) {
        convertCell(book.cell(sheet, row, column), locale);
    }
    checkRowWalk(book, sheet, row);
}

// Values set in memory must read back unchanged.
void checkSetCell(kestrel::Workbook& book, int sheet) {
    const auto marker = kestrel::CellValue::fromText(QStringLiteral("导入"));
    book.setCell(sheet, 2, 3, marker);
    const kestrel::CellValue back = book.cell(sheet, 2, 3);
    if (back.type != marker.type || back.text != marker.text) {
        std::abort();
    }
}

void walkWorksheet(kestrel::Workbook& book, int sheet, const QLocale& locale) {
    try {
        (void)book.worksheetName(sheet);
        const int lastRow = book.lastRow(sheet);
        if (lastRow < 0 || lastRow > 65536) {
            std::abort(); // an .xls worksheet holds at most 65,536 rows
        }
        const int rowsWalked = std::min(lastRow, maxRowsWalked);
        for (int row = 1; row <= rowsWalked; ++row) {
            walkRow(book, sheet, row, locale);
        }
        if (lastRow > rowsWalked) {
            walkRow(book, sheet, lastRow, locale);
        }
        checkSetCell(book, sheet);
    } catch (const kestrel::WorkbookError&) {
        // A damaged worksheet may be refused cleanly.
    }
}

// A worksheet that is not there must be refused with the reader's own error.
void checkMissingWorksheet(const kestrel::Workbook& book) {
    const int missing = book.worksheetCount() + 1;
    try {
        (void)book.lastRow(missing);
    } catch (const kestrel::WorkbookError&) {
        return;
    }
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(quietMessageHandler);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QLocale chinese(QLocale::Chinese, QLocale::China);
    static const QLocale american(QLocale::English, QLocale::UnitedStates);
    const QLocale& locale = size % 2 == 0 ? chinese : american;

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::unique_ptr<kestrel::Workbook> book;
    try {
        book = kestrel::openXlsWorkbookFromBytes(bytes, QStringLiteral("fuzz.xls"),
                                                 kestrel::ansiCodePage(locale));
    } catch (const kestrel::WorkbookError&) {
        return 0; // a clean refusal is the expected answer for most inputs
    }
    if (!book) {
        std::abort(); // the reader either opens the workbook or says why not
    }
    const int sheets = book->worksheetCount();
    if (sheets < 0) {
        std::abort();
    }
    for (int sheet = 1; sheet <= sheets; ++sheet) {
        walkWorksheet(*book, sheet, locale);
    }
    checkMissingWorksheet(*book);
    return 0;
}
