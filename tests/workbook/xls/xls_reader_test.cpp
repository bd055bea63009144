// The reader on workbooks built byte by byte: the record kinds, code pages, shared strings cut
// by CONTINUE records, sheet kinds, row counting and values set by the run.
#include "text/codepage.h"
#include "text/errors.h"
#include "workbook/workbook.h"
#include "xls_test_builder.h"

#include <gtest/gtest.h>

using kestrel::CellValue;
using namespace kestrel::test;

namespace {

std::unique_ptr<kestrel::Workbook> open(const WorkbookSpec& layout) {
    return kestrel::openXlsWorkbookFromBytes(compoundFile(workbookStream(layout)),
                                             QStringLiteral("built.xls"));
}

// One worksheet with the given records, shared strings and globals.
WorkbookSpec singleSheet(const QByteArray& records, const QByteArray& afterSheets = {},
                         const QByteArray& globals = xfRecords({0})) {
    WorkbookSpec layout;
    layout.globals = globals;
    layout.afterSheets = afterSheets;
    layout.sheets.push_back({QStringLiteral("Sheet1"), 0, records});
    return layout;
}

QByteArray sst(const std::vector<QByteArray>& strings) {
    QByteArray body = le32(std::uint32_t(strings.size())) + le32(std::uint32_t(strings.size()));
    for (const QByteArray& s : strings) {
        body += s;
    }
    return record(0x00FC, body);
}

TEST(XlsReader, Biff5TextInCodePage936) {
    const QString sheetName = QStringLiteral("会员卡");
    const QString holder = QStringLiteral("张三丰");
    const QByteArray label = kestrel::encodeCodePage(holder, 936);
    ASSERT_EQ(6, label.size()); // two bytes a character in GBK
    WorkbookSpec layout;
    layout.biff8 = false;
    layout.globals = record(0x0042, le16(936)) + xfRecords({0, 14});
    layout.biff5Names = {kestrel::encodeCodePage(sheetName, 936)};
    layout.sheets.push_back(
        {sheetName, 0,
         record(0x0204, cellHeader(1, 0) + le16(std::uint16_t(label.size())) + label) +
             numberCell(1, 1, 45000.5, 1) +
             record(0x027E, cellHeader(1, 2) + le32((1234u << 2) | 2u))});
    const auto book = open(layout);
    ASSERT_EQ(1, book->worksheetCount());
    EXPECT_EQ(sheetName, book->worksheetName(1));
    EXPECT_EQ(2, book->lastRow(1));
    const CellValue text = book->cell(1, 2, 1);
    ASSERT_EQ(CellValue::Type::Text, text.type);
    EXPECT_EQ(holder, text.text);
    const CellValue date = book->cell(1, 2, 2);
    ASSERT_EQ(CellValue::Type::DateTime, date.type);
    EXPECT_EQ(QDate(2023, 3, 15), date.date);
    EXPECT_EQ(QTime(12, 0), date.time);
    EXPECT_EQ(1234.0, book->cell(1, 2, 3).number);
}

TEST(XlsReader, SharedStringSplitInsideTheCharactersSwitchesWidth) {
    // "青雁ABC": the SST record ends after the two Chinese characters (16-bit); the CONTINUE
    // record starts with a flags byte saying the rest is 8-bit.
    QByteArray first = le32(2) + le32(2) + le16(5) + char(1) + le16(0x9752) + le16(0x96C1);
    QByteArray rest = QByteArray(1, '\0') + QByteArray("ABC") + unicodeString(QStringLiteral("尾"));
    const QByteArray records = record(0x00FC, first) + record(0x003C, rest);
    const auto book = open(singleSheet(labelSstCell(0, 0, 0) + labelSstCell(0, 1, 1), records));
    EXPECT_EQ(QStringLiteral("青雁ABC"), book->cell(1, 1, 1).text);
    EXPECT_EQ(QStringLiteral("尾"), book->cell(1, 1, 2).text);
}

TEST(XlsReader, RichTextAndPhoneticRunsAreSkippedAcrossContinue) {
    // String 0 carries 2 formatting runs and 6 bytes of phonetic data, both cut by the
    // CONTINUE boundary; they hold no flags byte. String 1 follows.
    QByteArray rich = le16(3) + char(0x0D) + le16(2) + le32(6) + le16(u'汉') + le16(u'字') +
                      le16(u'表') + QByteArray(8, 'r') + QByteArray(6, 'p');
    QByteArray body = le32(2) + le32(2) + rich;
    const qsizetype cut = body.size() - 10; // inside the runs
    QByteArray records =
        record(0x00FC, body.left(cut)) +
        record(0x003C, body.mid(cut) + unicodeString(QStringLiteral("next"), true));
    const auto book = open(singleSheet(labelSstCell(0, 0, 0) + labelSstCell(1, 0, 1), records));
    EXPECT_EQ(QStringLiteral("汉字表"), book->cell(1, 1, 1).text);
    EXPECT_EQ(QStringLiteral("next"), book->cell(1, 2, 1).text);
}

TEST(XlsReader, LastRowCountsFromRowOneWhenTheFirstRowsAreEmpty) {
    // Excel's used range would start at row 3 and count 3 rows; the import needs row 5.
    const auto book = open(singleSheet(numberCell(2, 3, 1.0) + numberCell(4, 0, 2.0)));
    EXPECT_EQ(5, book->lastRow(1));
    EXPECT_EQ(2.0, book->cell(1, 5, 1).number);
    EXPECT_TRUE(book->cell(1, 1, 1).isBlank());
}

TEST(XlsReader, FormattedBlanksCountForTheLastRowButHoldNoValue) {
    const QByteArray mulBlank =
        record(0x00BE, le16(9) + le16(1) + le16(0) + le16(0) + le16(0) + le16(3));
    const auto book = open(singleSheet(numberCell(0, 0, 1.0) + blankCell(6, 0) + mulBlank));
    EXPECT_EQ(10, book->lastRow(1));
    EXPECT_TRUE(book->cell(1, 7, 1).isBlank());
    EXPECT_TRUE(book->cell(1, 10, 2).isBlank());
}

TEST(XlsReader, EmptyWorksheetHasNoRows) {
    EXPECT_EQ(0, open(singleSheet({}))->lastRow(1));
}

TEST(XlsReader, FormulaResults) {
    QByteArray records =
        formulaCell(0, 0, le64(12.5)) + formulaCell(0, 1, formulaSpecialResult(0)) +
        record(0x0207, unicodeString(QStringLiteral("结果"))) +
        formulaCell(0, 2, formulaSpecialResult(1, 1)) +
        formulaCell(0, 3, formulaSpecialResult(2, 0x07)) +
        formulaCell(0, 4, formulaSpecialResult(3)) + formulaCell(0, 5, le64(45000.0), 1);
    const auto book = open(singleSheet(records, {}, xfRecords({0, 14})));
    EXPECT_EQ(12.5, book->cell(1, 1, 1).number);
    EXPECT_EQ(QStringLiteral("结果"), book->cell(1, 1, 2).text);
    const CellValue boolean = book->cell(1, 1, 3);
    ASSERT_EQ(CellValue::Type::Boolean, boolean.type);
    EXPECT_TRUE(boolean.boolean);
    const CellValue error = book->cell(1, 1, 4);
    ASSERT_EQ(CellValue::Type::Error, error.type);
    EXPECT_EQ(QStringLiteral("#DIV/0!"), kestrel::errorCodeText(error.errorCode));
    const CellValue empty = book->cell(1, 1, 5);
    ASSERT_EQ(CellValue::Type::Text, empty.type);
    EXPECT_TRUE(empty.text.isEmpty());
    EXPECT_EQ(QDate(2023, 3, 15), book->cell(1, 1, 6).date);
}

TEST(XlsReader, NumberRecordKinds) {
    const auto rk = [](std::uint16_t column, std::uint32_t value) {
        return record(0x027E, cellHeader(0, column) + le32(value));
    };
    // 1.5 as a float RK: the double's high 32 bits.
    const std::uint32_t floatRk = 0x3FF80000;
    QByteArray mulRk = le16(1) + le16(0);
    for (std::uint32_t v : {(7u << 2) | 2u, (12345u << 2) | 3u, floatRk | 1u}) {
        mulRk += le16(0) + le32(v);
    }
    mulRk += le16(2);
    const QByteArray records = rk(0, (std::uint32_t(-5) << 2) | 2u) + rk(1, floatRk) +
                               record(0x00BD, mulRk) + boolErrCell(2, 0, 0, false);
    const auto book = open(singleSheet(records));
    EXPECT_EQ(-5.0, book->cell(1, 1, 1).number);
    EXPECT_EQ(1.5, book->cell(1, 1, 2).number);
    EXPECT_EQ(7.0, book->cell(1, 2, 1).number);
    EXPECT_EQ(123.45, book->cell(1, 2, 2).number);
    EXPECT_EQ(0.015, book->cell(1, 2, 3).number);
    EXPECT_EQ(CellValue::Type::Boolean, book->cell(1, 3, 1).type);
    EXPECT_FALSE(book->cell(1, 3, 1).boolean);
}

TEST(XlsReader, DateFormatsDecideWhatIsADate) {
    const QByteArray globals = formatRecord(164, QStringLiteral("yyyy\"年\"m\"月\"d\"日\"")) +
                               formatRecord(165, QStringLiteral("0.00_ ")) +
                               formatRecord(31, QStringLiteral("0.00")) + // a redefined built-in
                               formatRecord(166, QStringLiteral("\"day\" 0")) +
                               xfRecords({0, 164, 165, 31, 56, 166, 22});
    QByteArray records;
    for (std::uint16_t xf = 0; xf < 7; ++xf) {
        records += numberCell(0, xf, 45000.25, xf);
    }
    const auto book = open(singleSheet(records, {}, globals));
    const CellValue::Type expected[] = {CellValue::Type::Number,   CellValue::Type::DateTime,
                                        CellValue::Type::Number,   CellValue::Type::Number,
                                        CellValue::Type::DateTime, CellValue::Type::Number,
                                        CellValue::Type::DateTime};
    for (int column = 1; column <= 7; ++column) {
        EXPECT_EQ(expected[column - 1], book->cell(1, 1, column).type) << "column " << column;
    }
    EXPECT_EQ(QTime(6, 0), book->cell(1, 1, 7).time);
}

TEST(XlsReader, DateMode1904) {
    const QByteArray globals = record(0x0022, le16(1)) + xfRecords({0, 14});
    const CellValue date = open(singleSheet(numberCell(0, 0, 0.0, 1), {}, globals))->cell(1, 1, 1);
    EXPECT_EQ(QDate(1904, 1, 1), date.date);
}

TEST(XlsReader, OnlyWorksheetsCountInSheetOrder) {
    WorkbookSpec layout;
    layout.globals = xfRecords({0});
    layout.sheets.push_back({QStringLiteral("Chart"), 2, {}, 0x0020});
    layout.sheets.push_back({QStringLiteral("First"), 0, numberCell(0, 0, 1.0)});
    layout.sheets.push_back({QStringLiteral("Macro"), 1, {}, 0x0040});
    layout.sheets.push_back({QStringLiteral("Dialog"), 0, record(0x0081, le16(0x0010))});
    layout.sheets.push_back({QStringLiteral("Module"), 6, {}, 0x0006});
    // An embedded chart's substream inside a worksheet is skipped with its cells.
    const QByteArray embeddedChart =
        record(0x0809, le16(0x0600) + le16(0x0020) + QByteArray(12, '\0')) +
        numberCell(50, 0, 9.0) + record(0x000A, {});
    layout.sheets.push_back({QStringLiteral("Second"), 0, embeddedChart + numberCell(1, 0, 2.0)});
    const auto book = open(layout);
    ASSERT_EQ(2, book->worksheetCount());
    EXPECT_EQ(QStringLiteral("First"), book->worksheetName(1));
    EXPECT_EQ(QStringLiteral("Second"), book->worksheetName(2));
    EXPECT_EQ(2, book->lastRow(2));
    EXPECT_EQ(2.0, book->cell(2, 2, 1).number);
}

TEST(XlsReader, MissingWorksheetNamesFileAndNumber) {
    const auto book = open(singleSheet({}));
    try {
        book->cell(3, 1, 1);
        FAIL();
    } catch (const kestrel::WorkbookError& error) {
        EXPECT_EQ(QStringLiteral("built.xls has no worksheet 3"), error.message());
    }
    EXPECT_THROW(book->lastRow(0), kestrel::WorkbookError);
    EXPECT_THROW(book->worksheetName(2), kestrel::WorkbookError);
    EXPECT_THROW(book->setCell(2, 1, 1, CellValue::fromNumber(0)), kestrel::WorkbookError);
}

TEST(XlsReader, CellsOutOfOrderAndRepeatedKeepTheLastRecord) {
    const auto book = open(singleSheet(numberCell(3, 0, 1.0) + numberCell(1, 2, 2.0) +
                                       numberCell(3, 0, 3.0) + numberCell(1, 1, 4.0)));
    EXPECT_EQ(3.0, book->cell(1, 4, 1).number);
    EXPECT_EQ(2.0, book->cell(1, 2, 3).number);
    EXPECT_EQ(4.0, book->cell(1, 2, 2).number);
}

TEST(XlsReader, SetCellOverridesInMemoryOnly) {
    const QByteArray bytes =
        compoundFile(workbookStream(singleSheet(labelSstCell(0, 0, 0) + numberCell(1, 0, 5.0),
                                                sst({unicodeString(QStringLiteral("卡号"))}))));
    const auto book = kestrel::openXlsWorkbookFromBytes(bytes, QStringLiteral("a.xls"));
    book->setCell(1, 2, 1, CellValue::fromText(QStringLiteral("2024-01-01")));
    book->setCell(1, 2, 2, CellValue::fromNumber(0));
    book->setCell(1, 1, 1, book->cell(1, 2, 1)); // copy a value just read
    EXPECT_EQ(QStringLiteral("2024-01-01"), book->cell(1, 2, 1).text);
    EXPECT_EQ(CellValue::Type::Number, book->cell(1, 2, 2).type);
    EXPECT_EQ(QStringLiteral("2024-01-01"), book->cell(1, 1, 1).text);
    EXPECT_EQ(2, book->lastRow(1));
    book->setCell(1, 9, 1, CellValue::fromText(QStringLiteral("x")));
    EXPECT_EQ(9, book->lastRow(1));
    book->setCell(1, 2, 2, CellValue::blank());
    EXPECT_TRUE(book->cell(1, 2, 2).isBlank());
    // A second opening of the same bytes sees none of it.
    const auto again = kestrel::openXlsWorkbookFromBytes(bytes, QStringLiteral("a.xls"));
    EXPECT_EQ(QStringLiteral("卡号"), again->cell(1, 1, 1).text);
    EXPECT_EQ(5.0, again->cell(1, 2, 1).number);
    EXPECT_EQ(2, again->lastRow(1));
}

TEST(XlsReader, InvalidCellPositionIsAnError) {
    const auto book = open(singleSheet({}));
    EXPECT_THROW(book->cell(1, 0, 1), kestrel::WorkbookError);
    EXPECT_THROW(book->cell(1, 1, 257), kestrel::WorkbookError);
    EXPECT_TRUE(book->cell(1, 65536, 256).isBlank());
}

TEST(XlsReader, BookStreamInAnyCaseAndBareBiffStream) {
    const QByteArray stream = workbookStream(singleSheet(numberCell(0, 0, 7.0)));
    const auto boxed = kestrel::openXlsWorkbookFromBytes(
        compoundFile(stream, QStringLiteral("BOOK")), QStringLiteral("b.xls"));
    EXPECT_EQ(7.0, boxed->cell(1, 1, 1).number);
    const auto bare = kestrel::openXlsWorkbookFromBytes(stream, QStringLiteral("c.xls"));
    EXPECT_EQ(7.0, bare->cell(1, 1, 1).number);
}

} // namespace

TEST(XlsReader, RowWalkGivesTheCellsThatExistInColumnOrder) {
    const QByteArray strings = sst({unicodeString(QStringLiteral("青雁"))});
    // Written out of order, one cell twice: the walk gives the last record of each cell.
    const auto book =
        open(singleSheet(numberCell(1, 4, 3) + labelSstCell(1, 0, 0) + blankCell(1, 2) +
                             numberCell(1, 4, 7) + numberCell(3, 1, 1),
                         strings));
    const auto walk = [&book](int row) {
        QStringList seen;
        book->forEachCellInRow(1, row, [&seen](int column, const CellValue& value) {
            seen.append(QStringLiteral("%1:%2").arg(column).arg(
                value.type == CellValue::Type::Text ? value.text : QString::number(value.number)));
        });
        return seen;
    };
    EXPECT_EQ(walk(2), QStringList({QStringLiteral("1:青雁"), QStringLiteral("5:7")}));
    EXPECT_TRUE(walk(1).isEmpty());
    EXPECT_TRUE(walk(3).isEmpty());
    EXPECT_EQ(walk(4), QStringList({QStringLiteral("2:1")}));
    EXPECT_TRUE(walk(5).isEmpty()); // below the used range

    // Values set by the run are walked with the rest; a blank set hides the file's cell.
    book->setCell(1, 2, 3, CellValue::fromNumber(9));
    book->setCell(1, 2, 5, CellValue::blank());
    EXPECT_EQ(walk(2), QStringList({QStringLiteral("1:青雁"), QStringLiteral("3:9")}));
    EXPECT_THROW(book->forEachCellInRow(2, 1, [](int, const CellValue&) {}),
                 kestrel::WorkbookError);
}
