// Rows read as views (Workbook::readRow) on workbooks built byte by byte: every kind of cell,
// texts the dump escapes, cells out of order or written twice, cells past the last column,
// values set by the run, and workbook streams whose sectors are scattered over the file.
#include "row_view_check.h"
#include "text/errors.h"
#include "workbook/workbook.h"
#include "xls_test_builder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using kestrel::CellValue;
using kestrel::CellView;
using kestrel::RowCells;
using namespace kestrel::test;

namespace {

const QString kSurrogatePair = QStringLiteral("𠀀 pair");
const QString kLoneSurrogate = QString(QChar(0xD800)) + QStringLiteral("x");
const QString kEscapes = QStringLiteral("tab\tand\\backslash\r\n");

QByteArray sst(const std::vector<QString>& texts) {
    QByteArray body = le32(std::uint32_t(texts.size())) + le32(std::uint32_t(texts.size()));
    for (const QString& text : texts)
        body += unicodeString(text);
    return record(0x00FC, body);
}

// Row 1: every kind of cell, column 256 and one past it. Row 3: written out of column order
// with column 4 twice. Row 10: only a cell past column 256. Rows come out of order.
QByteArray mixedStream() {
    WorkbookSpec layout;
    layout.globals = xfRecords({0, 14});
    layout.afterSheets =
        sst({QStringLiteral("plain"), kSurrogatePair, kLoneSurrogate, kEscapes, QString()});
    const QByteArray rowThree = numberCell(2, 5, 7.25) + labelSstCell(2, 1, 0) +
                                numberCell(2, 3, 1.5) + numberCell(2, 3, 2.5);
    const QByteArray rowOne =
        labelSstCell(0, 0, 1) + labelSstCell(0, 1, 2) + labelSstCell(0, 2, 3) +
        labelSstCell(0, 3, 4) + numberCell(0, 4, 0.5, 1) + numberCell(0, 5, 0, 1) +
        numberCell(0, 6, -1, 1) + boolErrCell(0, 7, 1, false) + boolErrCell(0, 8, 0x07, true) +
        formulaCell(0, 9, formulaSpecialResult(0)) +
        record(0x0207, unicodeString(QStringLiteral("公式"))) +
        formulaCell(0, 10, formulaSpecialResult(3)) + numberCell(0, 255, 9) +
        numberCell(0, 256, 10);
    layout.sheets.push_back(
        {QStringLiteral("Sheet1"), 0, rowThree + rowOne + numberCell(9, 300, 1)});
    return workbookStream(layout);
}

std::unique_ptr<kestrel::Workbook> openMixed(bool scattered = false) {
    return kestrel::openXlsWorkbookFromBytes(
        compoundFile(mixedStream(), QStringLiteral("Workbook"), scattered),
        QStringLiteral("mixed.xls"));
}

std::vector<int> columnsOf(const RowCells& cells) {
    std::vector<int> columns;
    for (const CellView& cell : cells.cells())
        columns.push_back(cell.column);
    return columns;
}

TEST(XlsRowViews, GiveWhatCellGivesForEveryKind) {
    const auto book = openMixed();
    EXPECT_EQ(10, book->lastRow(1)); // the cell past column 256 still counts
    expectRowsReadAsCells(*book, 1);

    RowCells cells;
    book->readRow(1, 1, cells);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 256}), columnsOf(cells));
    const auto& row = cells.cells();
    EXPECT_EQ(kSurrogatePair, row[0].text.toString());
    EXPECT_EQ(kLoneSurrogate, row[1].text.toString());
    EXPECT_EQ(kEscapes, row[2].text.toString());
    EXPECT_EQ(CellValue::Type::Text, row[3].type);
    EXPECT_TRUE(row[3].text.isEmpty());
    EXPECT_EQ(QDate(1899, 12, 30), row[4].date); // day zero: a time of day alone
    EXPECT_EQ(QTime(12, 0), row[4].time);
    EXPECT_EQ(QDate(1899, 12, 30), row[5].date);
    EXPECT_EQ(QTime(0, 0), row[5].time);
    EXPECT_EQ(CellValue::Type::Number, row[6].type); // no date is negative
    EXPECT_TRUE(row[7].boolean);
    EXPECT_EQ(0x07, row[8].errorCode);
    EXPECT_EQ(QStringLiteral("公式"), row[9].text.toString());
    EXPECT_EQ(CellValue::Type::Text, row[10].type);
    EXPECT_EQ(9.0, row[11].number);

    book->readRow(1, 3, cells);
    EXPECT_EQ((std::vector<int>{2, 4, 6}), columnsOf(cells));
    EXPECT_EQ(2.5, cells.cells()[1].number); // the later record of a cell wins
    book->readRow(1, 10, cells);
    EXPECT_TRUE(cells.cells().empty());
}

TEST(XlsRowViews, ScatteredSectorsReadAsContiguousOnes) {
    const auto contiguous = openMixed(false);
    const auto scattered = openMixed(true);
    ASSERT_EQ(contiguous->lastRow(1), scattered->lastRow(1));
    for (int row = 1; row <= contiguous->lastRow(1); ++row) {
        for (int column = 1; column <= kestrel::Workbook::kWalkedColumns; ++column) {
            SCOPED_TRACE(std::to_string(row) + "," + std::to_string(column));
            expectSameValue(contiguous->cell(1, row, column), scattered->cell(1, row, column));
        }
    }
    expectRowsReadAsCells(*scattered, 1);
}

// A file this large is mapped rather than read when opened by its path.
TEST(XlsRowViews, LargeFileOpenedByPathReadsAsItsBytes) {
    WorkbookSpec layout;
    layout.globals = xfRecords({0, 14});
    layout.afterSheets = sst({QStringLiteral("青雁")});
    QByteArray cells;
    for (int row = 0; row < 65536; ++row) {
        const auto r = std::uint16_t(row);
        cells += numberCell(r, 0, row * 0.5) + numberCell(r, 1, 40000 + row, 1) +
                 labelSstCell(r, 2, 0) + numberCell(r, 255, -row);
    }
    layout.sheets.push_back({QStringLiteral("Big"), 0, cells});
    const QByteArray bytes = compoundFile(workbookStream(layout));
    ASSERT_GT(bytes.size(), 4 * 1024 * 1024);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.xls"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    const auto mapped = kestrel::openXlsWorkbook(path);
    const auto inMemory = kestrel::openXlsWorkbookFromBytes(bytes, path);
    ASSERT_EQ(65536, mapped->lastRow(1));
    RowCells fromFile;
    RowCells fromBytes;
    for (int row = 1; row <= 65536; row += 97) {
        mapped->readRow(1, row, fromFile);
        inMemory->readRow(1, row, fromBytes);
        ASSERT_EQ(4u, fromFile.cells().size());
        for (std::size_t i = 0; i < 4; ++i)
            expectSameValue(fromBytes.cells()[i].value(), fromFile.cells()[i].value());
    }
    EXPECT_EQ(QStringLiteral("青雁"), mapped->cell(1, 65536, 3).text);
    EXPECT_EQ(-65535.0, mapped->cell(1, 65536, 256).number);
}

TEST(XlsRowViews, IncludeValuesSetByTheRun) {
    const auto book = openMixed();
    book->setCell(1, 3, 4, CellValue::fromText(QStringLiteral("导入")));
    book->setCell(1, 3, 2, CellValue::blank());
    book->setCell(1, 12, 1, CellValue::fromNumber(3));
    EXPECT_EQ(12, book->lastRow(1));
    expectRowsReadAsCells(*book, 1);
    RowCells cells;
    book->readRow(1, 3, cells);
    EXPECT_EQ((std::vector<int>{4, 6}), columnsOf(cells));
    EXPECT_EQ(QStringLiteral("导入"), cells.cells()[0].text.toString());
}

TEST(XlsRowViews, RowsOutsideTheSheetAreRefused) {
    const auto book = openMixed();
    RowCells cells;
    EXPECT_THROW(book->readRow(2, 1, cells), kestrel::WorkbookError);
    EXPECT_THROW(book->readRow(1, 0, cells), kestrel::WorkbookError);
    book->readRow(1, 65536, cells);
    EXPECT_TRUE(cells.cells().empty());
}

} // namespace
