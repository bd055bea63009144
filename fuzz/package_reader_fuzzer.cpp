// libFuzzer entry for the .xlsx/.xlsm/.ods reader: opens arbitrary bytes by content, as an
// import run does, and walks every worksheet. Any exception other than the reader's own errors,
// any sanitizer report, a hang or runaway memory is a finding. The seeds are the sheet corpus
// re-packed without compression, so that mutations reach the XML.

#include "text/cellvalue.h"
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

constexpr int maxRowsWalked = 500;
constexpr int maxColumnsWalked = 64;
constexpr int maxRows = 1048576;

void quietMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg)
        qt_message_output(type, QMessageLogContext(), message);
}

void convertCell(const kestrel::Workbook& book, int sheet, int row, int column,
                 const QLocale& locale) {
    const kestrel::CellValue value = book.cell(sheet, row, column);
    try {
        const QString text = kestrel::cellText(book, sheet, row, column, locale);
        if (value.isBlank() && !text.isEmpty())
            std::abort(); // a blank cell must read as empty text
    } catch (const kestrel::ConversionError&) {
        if (value.type != kestrel::CellValue::Type::Error)
            std::abort(); // only error cells may refuse conversion
    }
}

void walkRow(const kestrel::Workbook& book, int sheet, int row, const QLocale& locale) {
    for (int column = 1; column <= maxColumnsWalked; ++column)
        convertCell(book, sheet, row, column, locale);
}

void checkSetCell(kestrel::Workbook& book, int sheet) {
    const auto marker = kestrel::CellValue::fromText(QStringLiteral("导入"));
    book.setCell(sheet, 2, 3, marker);
    const kestrel::CellValue back = book.cell(sheet, 2, 3);
    if (back.type != marker.type || back.text != marker.text || book.lastRow(sheet) < 2)
        std::abort();
}

void walkWorksheet(kestrel::Workbook& book, int sheet, const QLocale& locale) {
    (void)book.worksheetName(sheet);
    const int lastRow = book.lastRow(sheet);
    if (lastRow < 0 || lastRow > maxRows)
        std::abort();
    const int rowsWalked = std::min(lastRow, maxRowsWalked);
    for (int row = 1; row <= rowsWalked; ++row)
        walkRow(book, sheet, row, locale);
    if (lastRow > rowsWalked)
        walkRow(book, sheet, lastRow, locale);
    checkSetCell(book, sheet);
}

void checkMissingWorksheet(const kestrel::Workbook& book) {
    try {
        (void)book.lastRow(book.worksheetCount() + 1);
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
        book = kestrel::openWorkbookFromBytes(bytes, QStringLiteral("fuzz.xlsx"));
    } catch (const kestrel::WorkbookError&) {
        return 0;
    }
    if (!book || book->worksheetCount() < 0)
        std::abort();
    for (int sheet = 1; sheet <= book->worksheetCount(); ++sheet)
        walkWorksheet(*book, sheet, locale);
    checkMissingWorksheet(*book);
    return 0;
}
