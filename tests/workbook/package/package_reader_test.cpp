// The .xlsx/.ods reader on packages built here: what makes a number a date, repeated rows and
// cells, formulas without results, the last row, and the errors for damaged packages.
#include "corpus_support.h"
#include "package_test_builder.h"
#include "row_view_check.h"
#include "text/errors.h"
#include "workbook/package/package_cells.h"
#include "workbook/workbook.h"

#include <QtEndian>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iterator>

using kestrel::CellValue;
using kestrel::test::corpusTypeName;
using kestrel::test::expectRowsReadAsCells;
using namespace kestrel::test;

namespace {

std::unique_ptr<kestrel::Workbook> open(const QByteArray& bytes,
                                        const QString& name = QStringLiteral("模板.xlsx")) {
    return kestrel::openWorkbookFromBytes(bytes, name);
}

QString refusal(const QByteArray& bytes) {
    try {
        open(bytes, QStringLiteral("坏模板.xlsx"));
    } catch (const kestrel::WorkbookError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("坏模板.xlsx"))) << error.what();
        return error.message();
    }
    ADD_FAILURE() << "opened";
    return {};
}

XlsxLayout oneSheet(const QByteArray& sheetData) {
    XlsxLayout layout;
    layout.sheets.append({QStringLiteral("Sheet1"), sheetData});
    return layout;
}

TEST(XlsxReader, NumberFormatsDecideWhatIsADate) {
    XlsxLayout layout = oneSheet("<row r=\"1\">"
                                 "<c r=\"A1\" s=\"1\"><v>45000.5</v></c>" // built-in 14
                                 "<c r=\"B1\" s=\"2\"><v>45000</v></c>"   // custom yyyy"年"m"月"
                                 "<c r=\"C1\" s=\"3\"><v>45000</v></c>"   // "d" quoted only
                                 "<c r=\"D1\" s=\"4\"><v>45000</v></c>"   // id 14 redefined
                                 "<c r=\"E1\"><v>45000</v></c>"           // no style
                                 "<c r=\"F1\" s=\"1\"><v>-1</v></c>"      // no date is negative
                                 "</row>");
    layout.styles = "<numFmts><numFmt numFmtId=\"164\" formatCode=\"yyyy&quot;年&quot;m&quot;月"
                    "&quot;\"/><numFmt numFmtId=\"165\" formatCode=\"&quot;d&quot;0\"/>"
                    "<numFmt numFmtId=\"14\" formatCode=\"0.00\"/></numFmts>"
                    "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"22\"/><xf numFmtId=\"164\"/>"
                    "<xf numFmtId=\"165\"/><xf numFmtId=\"14\"/></cellXfs>";
    const auto book = open(xlsxPackage(layout));
    const CellValue a1 = book->cell(1, 1, 1);
    ASSERT_EQ(CellValue::Type::DateTime, a1.type);
    EXPECT_EQ(QDate(2023, 3, 15), a1.date);
    EXPECT_EQ(QTime(12, 0), a1.time);
    EXPECT_EQ(CellValue::Type::DateTime, book->cell(1, 1, 2).type);
    EXPECT_EQ(CellValue::Type::Number, book->cell(1, 1, 3).type);
    EXPECT_EQ(CellValue::Type::Number, book->cell(1, 1, 4).type);
    EXPECT_EQ(CellValue::Type::Number, book->cell(1, 1, 5).type);
    EXPECT_EQ(-1.0, book->cell(1, 1, 6).number);
}

TEST(XlsxReader, NumbersReadExactlyAsWritten) {
    const char* const texts[] = {"0.1",
                                 "1234567.25",
                                 "-0.3",
                                 "123456789012345",
                                 "1.5E-7",
                                 "12345678901234567",
                                 "+7",
                                 "0.000000000000001",
                                 "9007199254740993",
                                 "2.675"};
    QByteArray row = "<row r=\"1\">";
    for (const char* text : texts)
        row += "<c><v>" + QByteArray(text) + "</v></c>";
    const auto book = open(xlsxPackage(oneSheet(row + "</row>")));
    for (int i = 0; i < int(std::size(texts)); ++i)
        EXPECT_EQ(std::strtod(texts[i], nullptr), book->cell(1, 1, i + 1).number) << texts[i];
}

TEST(XlsxReader, Date1904AndIsoDateCells) {
    XlsxLayout layout = oneSheet("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0</v></c>"
                                 "<c r=\"B1\" t=\"d\"><v>2024-02-29T23:59:59.6</v></c></row>");
    layout.workbookPr = "date1904=\"1\"";
    layout.styles = "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs>";
    const auto book = open(xlsxPackage(layout));
    EXPECT_EQ(QDate(1904, 1, 1), book->cell(1, 1, 1).date);
    const CellValue iso = book->cell(1, 1, 2);
    ASSERT_EQ(CellValue::Type::DateTime, iso.type);
    EXPECT_EQ(QDate(2024, 3, 1), iso.date); // to the nearest second
    EXPECT_EQ(QTime(0, 0), iso.time);
}

TEST(XlsxReader, TextsBooleansErrorsAndFormulas) {
    XlsxLayout layout = oneSheet(
        "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c>"
        "<c r=\"B2\" t=\"inlineStr\"><is><r><t>青</t></r><r><t>雁</t></r><rPh><t>せい</t></rPh>"
        "</is></c><c r=\"C2\" t=\"b\"><v>1</v></c><c r=\"D2\" t=\"e\"><v>#DIV/0!</v></c>"
        "<c r=\"E2\" t=\"str\"><f>A2&amp;\"\"</f><v></v></c>"
        "<c r=\"F2\"><f>1+1</f></c><c r=\"G2\"><f>1+1</f><v>2</v></c></row>");
    layout.sharedStrings = {QStringLiteral("a"), QStringLiteral("x_x000D_y &amp; z")};
    const auto book = open(xlsxPackage(layout));
    EXPECT_EQ(QStringLiteral("x\ry & z"), book->cell(1, 2, 1).text);
    EXPECT_EQ(QStringLiteral("青雁"), book->cell(1, 2, 2).text);
    EXPECT_TRUE(book->cell(1, 2, 3).boolean);
    EXPECT_EQ(0x07, book->cell(1, 2, 4).errorCode);
    const CellValue empty = book->cell(1, 2, 5);
    EXPECT_EQ(CellValue::Type::Text, empty.type); // a cached empty text
    EXPECT_TRUE(empty.text.isEmpty());
    EXPECT_EQ(2.0, book->cell(1, 2, 7).number);
    // Saved without its result: an error naming the cell when an import reads it.
    EXPECT_EQ(CellValue::Type::Error, book->cell(1, 2, 6).type);
    try {
        kestrel::cellText(*book, 1, 2, 6, QLocale::c());
        FAIL() << "converted";
    } catch (const kestrel::ConversionError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("(row 2, column 6)"))) << error.what();
        EXPECT_TRUE(error.message().contains(QStringLiteral("#NOT CALCULATED"))) << error.what();
    }
}

TEST(XlsxReader, WorksheetsInOrderWithoutChartSheetsAndTheirLastRows) {
    XlsxLayout layout;
    layout.sheets.append({QStringLiteral("图表"), {}, true});
    // Cells without r follow the one before; a styled blank reaches the last row.
    layout.sheets.append({QStringLiteral("数据"), "<row r=\"3\"><c r=\"B3\"><v>1</v></c><c><v>2"
                                                  "</v></c></row><row><c s=\"0\"/></row>"});
    layout.sheets.append({QStringLiteral("空"), "<row r=\"9\" ht=\"20\" customHeight=\"1\"/>"});
    const auto book = open(xlsxPackage(layout));
    ASSERT_EQ(2, book->worksheetCount());
    EXPECT_EQ(QStringLiteral("数据"), book->worksheetName(1));
    EXPECT_EQ(4, book->lastRow(1));
    EXPECT_EQ(2.0, book->cell(1, 3, 3).number);
    EXPECT_EQ(0, book->lastRow(2)); // a row with no cell is no used row
    EXPECT_THROW(book->lastRow(3), kestrel::WorkbookError);
    // Values set by the run are read back and reach the last row; nothing else moves.
    book->setCell(1, 7, 16384, CellValue::fromText(QStringLiteral("默认")));
    EXPECT_EQ(QStringLiteral("默认"), book->cell(1, 7, 16384).text);
    EXPECT_EQ(7, book->lastRow(1));
    EXPECT_THROW(book->cell(1, 1, 16385), kestrel::WorkbookError);
}

TEST(XlsxReader, CellsOutOfOrderAreSortedAndTheLastForAPlaceWins) {
    const auto book = open(xlsxPackage(oneSheet(
        "<row r=\"3\"><c r=\"B3\"><v>3</v></c></row><row r=\"1\"><c r=\"C1\"><v>1</v></c>"
        "<c r=\"A1\"><v>2</v></c><c r=\"C1\"><v>4</v></c><c r=\"IW1\"><v>5</v></c></row>")));
    EXPECT_EQ(3, book->lastRow(1));
    EXPECT_EQ(2.0, book->cell(1, 1, 1).number);
    EXPECT_EQ(4.0, book->cell(1, 1, 3).number);
    EXPECT_EQ(3.0, book->cell(1, 3, 2).number);
    EXPECT_EQ(5.0, book->cell(1, 1, 257).number);
    expectRowsReadAsCells(*book, 1); // in column order, within the 256 columns walked
}

TEST(OdsReader, ACellsTextComesFromItsOwnParagraphsOnly) {
    const struct {
        const char* cell; // the content of a table:table-cell, attributes first
        const char* type;
        const char* text; // of a text or a number; an error is a formula without its result
    } cases[] = {
        // A picture anchored in the cell holds an empty paragraph of its own.
        {" office:value-type=\"string\"><draw:frame><draw:image><text:p/></draw:image>"
         "</draw:frame><text:p>abc</text:p>",
         "text", "abc"},
        {"><draw:custom-shape><text:p>形状</text:p></draw:custom-shape>", "blank", ""},
        {" office:value-type=\"float\" office:value=\"5\"><draw:frame><draw:object/>"
         "<draw:image><text:p/></draw:image></draw:frame><text:p>5</text:p>",
         "number", "5"},
        {" office:value-type=\"string\"><office:annotation><text:p>批注</text:p>"
         "</office:annotation><text:p>x</text:p>",
         "text", "x"},
        // Anchored as a character inside the paragraph.
        {"><text:p>d<draw:frame><draw:text-box><text:p>说明</text:p></draw:text-box></draw:frame>e"
         "<office:annotation><text:p>注</text:p></office:annotation></text:p>",
         "text", "de"},
        {"><text:h>标题</text:h><text:p><text:a>链接</text:a><text:span>s<text:s/>t</text:span>"
         "</text:p>",
         "text", "标题\n链接s t"},
        // LibreOffice's formula whose result is the empty text: no value type, empty paragraph.
        {" table:formula=\"of:=&quot;&quot;\"><text:p/>", "text", ""},
        {" table:formula=\"of:=A2\"><text:p>旧值</text:p>", "error", ""},
        {" table:formula=\"of:=A2\">", "error", ""},
    };
    QByteArray rows;
    for (const auto& c : cases)
        rows += "<table:table-row><table:table-cell" + QByteArray(c.cell) +
                "</table:table-cell></table:table-row>";
    // A sheet holding only pictures has no rows.
    const QByteArray pictures = "<table:table-row table:number-rows-repeated=\"16\">"
                                "<table:table-cell><draw:frame><draw:image><text:p/></draw:image>"
                                "</draw:frame></table:table-cell></table:table-row>";
    const auto book = open(odsPackage("<table:table table:name=\"a\">" + rows +
                                      "</table:table><table:table table:name=\"b\">" + pictures +
                                      "</table:table>"),
                           QStringLiteral("模板.ods"));
    for (int row = 1; row <= int(std::size(cases)); ++row) {
        const CellValue value = book->cell(1, row, 1);
        SCOPED_TRACE(cases[row - 1].cell);
        EXPECT_STREQ(cases[row - 1].type, corpusTypeName(value.type));
        if (value.type == CellValue::Type::Error) {
            EXPECT_EQ(kestrel::package::kNoFormulaResult, value.errorCode);
        } else if (!value.isBlank()) {
            EXPECT_EQ(QString::fromUtf8(cases[row - 1].text),
                      kestrel::cellText(*book, 1, row, 1, QLocale::c()));
        }
    }
    EXPECT_EQ(0, book->lastRow(2));
}

TEST(OdsReader, ValueTypesTextAndFormulas) {
    const QByteArray table =
        "<table:table table:name=\"卡\"><table:table-row>"
        "<table:table-cell office:value-type=\"currency\" office:value=\"300.5\"><text:p>¥300.50"
        "</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"percentage\" office:value=\"0.25\"/>"
        "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-01-15T10:20:30\"/>"
        "<table:table-cell office:value-type=\"time\" office:time-value=\"PT27H17M54S\"/>"
        "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"false\"/>"
        "<table:table-cell office:value-type=\"string\"><text:p>a<text:s text:c=\"2\"/>b"
        "<office:annotation><text:p>批注</text:p></office:annotation></text:p><text:p>c"
        "<text:span>d</text:span></text:p></table:table-cell>"
        "<table:table-cell table:formula=\"of:=1/0\" office:value-type=\"string\" "
        "office:string-value=\"\" calcext:value-type=\"error\"><text:p>#DIV/0!</text:p>"
        "</table:table-cell><table:table-cell table:formula=\"of:=1+1\"/>"
        "</table:table-row></table:table>";
    const auto book = open(odsPackage(table), QStringLiteral("模板.ods"));
    EXPECT_EQ(300.5, book->cell(1, 1, 1).number);
    EXPECT_EQ(0.25, book->cell(1, 1, 2).number);
    EXPECT_EQ(QTime(10, 20, 30), book->cell(1, 1, 3).time);
    const CellValue duration = book->cell(1, 1, 4);
    EXPECT_EQ(QDate(1899, 12, 31), duration.date);
    EXPECT_EQ(QTime(3, 17, 54), duration.time);
    EXPECT_EQ(CellValue::Type::Boolean, book->cell(1, 1, 5).type);
    EXPECT_EQ(QStringLiteral("a  b\ncd"), book->cell(1, 1, 6).text);
    EXPECT_EQ(QStringLiteral("#DIV/0!"), kestrel::errorCodeText(book->cell(1, 1, 7).errorCode));
    EXPECT_THROW(kestrel::cellText(*book, 1, 1, 8, QLocale::c()), kestrel::ConversionError);
}

TEST(OdsReader, RepeatedRowsAndCellsAreExpandedOnlyWithValues) {
    // LibreOffice declares the unused rest of a sheet as one row repeated a million times.
    const QByteArray table =
        "<table:table table:name=\"S\"><table:table-column table:number-columns-repeated=\"3\"/>"
        "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell "
        "office:value-type=\"float\" office:value=\"7\" table:number-columns-repeated=\"2\"/>"
        "<table:covered-table-cell office:value-type=\"string\"><text:p>x</text:p>"
        "</table:covered-table-cell></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"1048573\"><table:table-cell "
        "table:number-columns-repeated=\"16384\"/></table:table-row>"
        "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>末</text:p>"
        "</table:table-cell></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"5\"><table:table-cell/></table:table-row>"
        "</table:table><table:table table:name=\"空\"><table:table-row "
        "table:number-rows-repeated=\"1048576\"><table:table-cell "
        "table:number-columns-repeated=\"1024\"/></table:table-row></table:table>";
    const auto book = open(odsPackage(table), QStringLiteral("模板.ods"));
    ASSERT_EQ(2, book->worksheetCount());
    EXPECT_EQ(1048576, book->lastRow(1));
    for (int row = 1; row <= 2; ++row) {
        EXPECT_EQ(7.0, book->cell(1, row, 1).number);
        EXPECT_EQ(7.0, book->cell(1, row, 2).number);
        EXPECT_EQ(QStringLiteral("x"), book->cell(1, row, 3).text);
    }
    EXPECT_TRUE(book->cell(1, 3, 1).isBlank());
    EXPECT_EQ(QStringLiteral("末"), book->cell(1, 1048576, 1).text);
    EXPECT_EQ(0, book->lastRow(2));
}

TEST(OdsReader, RepeatsPastTheEndOfTheSheetAreCut) {
    // A text repeated across every column of 64 rows is kept once; rows declared past the
    // sheet's last row, however many, add nothing.
    QByteArray table = "<table:table table:name=\"S\"><table:table-row "
                       "table:number-rows-repeated=\"64\"><table:table-cell "
                       "table:number-columns-repeated=\"20000\" office:value-type=\"string\">"
                       "<text:p>满</text:p></table:table-cell></table:table-row>";
    for (int i = 0; i < 3000; ++i)
        table += "<table:table-row table:number-rows-repeated=\"1048576\"><table:table-cell "
                 "table:number-columns-repeated=\"16384\"/></table:table-row>";
    table += "<table:table-row><table:table-cell office:value-type=\"float\" "
             "office:value=\"1\"/></table:table-row></table:table>";
    const auto book = open(odsPackage(table), QStringLiteral("模板.ods"));
    EXPECT_EQ(64, book->lastRow(1));
    EXPECT_EQ(QStringLiteral("满"), book->cell(1, 64, 16384).text);
    EXPECT_EQ(QStringLiteral("满"), book->cell(1, 1, 1).text);
}

TEST(PackageErrors, EachDamageHasItsReasonNamingTheFile) {
    XlsxLayout layout = oneSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    const QByteArray good = xlsxPackage(layout);

    // A part that says it inflates to 4 GB is refused before anything is inflated.
    QByteArray bomb = good;
    const qsizetype directory = bomb.indexOf(QByteArray("PK\x01\x02", 4));
    qToLittleEndian<quint32>(0xFFFFFFF0u, bomb.data() + directory + 24);
    EXPECT_TRUE(refusal(bomb).contains(QStringLiteral("too large")));
    QByteArray localBomb = good; // the entry's own header may say otherwise
    qToLittleEndian<quint32>(0xFFFFFFF0u, localBomb.data() + 22);
    EXPECT_TRUE(refusal(localBomb).contains(QStringLiteral("too large")));
    QByteArray overlong = good; // more compressed bytes than the file holds
    qToLittleEndian<quint32>(0xFFFFFF00u, overlong.data() + directory + 20);
    EXPECT_TRUE(refusal(overlong).contains(QStringLiteral("The file is damaged or incomplete")));

    QByteArray broken = good;
    broken.replace("</sheetData>", "<c r=\"B1\"<v>");
    EXPECT_TRUE(refusal(broken).contains(
        QStringLiteral("The file is damaged or incomplete (xl/worksheets/sheet1.xml)")));

    QByteArray notNumber = good;
    notNumber.replace("<v>1</v>", "<v>1x</v>");
    EXPECT_TRUE(refusal(notNumber).contains(QStringLiteral("The file is damaged or incomplete")));

    ZipEntries missing{{QStringLiteral("[Content_Types].xml"), "<Types/>"},
                       {QStringLiteral("xl/workbook.xml"),
                        "<workbook><sheets><sheet name=\"a\" r:id=\"rId9\"/></sheets></workbook>"}};
    EXPECT_TRUE(refusal(storedZip(missing)).contains(QStringLiteral("(a is missing)")));

    EXPECT_TRUE(refusal(storedZip({{QStringLiteral("readme.txt"), "hello"}}))
                    .contains(QStringLiteral("neither an Excel workbook (.xlsx, .xlsm)")));
    EXPECT_TRUE(refusal(good.left(good.size() / 2))
                    .contains(QStringLiteral("The file is damaged or incomplete")));
    EXPECT_TRUE(refusal(odsPackage({}, "<manifest:encryption-data/>"))
                    .contains(QStringLiteral(
                        "The workbook is protected by a password and cannot be read")));
    // Not a ZIP: refused as before, by the .xls reader.
    EXPECT_TRUE(
        refusal("a,b\n1,2\n").contains(QStringLiteral("Not an Excel 97-2003 (.xls) workbook")));
}

} // namespace
