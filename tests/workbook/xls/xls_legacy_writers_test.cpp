// Workbooks as older and third-party writers leave them: Excel 5/95 text without a CODEPAGE
// record, read in the code page of the computer's locale, and FORMULA records under the ids of
// Excel 3 and 4. The fuzzer's own seeds are files of these kinds.
#include "test_paths.h"
#include "text/codepage.h"
#include "workbook/workbook.h"
#include "xls_test_builder.h"

#include <QFile>
#include <gtest/gtest.h>

using kestrel::CellValue;
using namespace kestrel::test;

namespace {

// "会员卡类型名称" in code page 936 (GBK); Windows-1252 shows these bytes as "»áÔ±¿¨ÀàÐÍÃû³Æ".
const QByteArray kGbkMemberCardType("\xBB\xE1\xD4\xB1\xBF\xA8\xC0\xE0\xD0\xCD\xC3\xFB\xB3\xC6");
const QString kMemberCardType = QStringLiteral("会员卡类型名称");
// "Остатки" in code page 1251; Windows-1252 shows "Îñòàòêè".
const QByteArray kCp1251Balances("\xCE\xF1\xF2\xE0\xF2\xEA\xE8");

QByteArray labelCell(std::uint16_t row, std::uint16_t column, const QByteArray& bytes) {
    return record(0x0204, cellHeader(row, column) + le16(std::uint16_t(bytes.size())) + bytes);
}

// An Excel 5/95 workbook whose one sheet is named with the bytes and holds them in A1.
WorkbookSpec biff5Text(const QByteArray& bytes, const QByteArray& codePageRecord = {}) {
    WorkbookSpec layout;
    layout.biff8 = false;
    layout.globals = codePageRecord + xfRecords({0});
    layout.biff5Names = {bytes};
    layout.sheets.push_back({QString(), 0, labelCell(0, 0, bytes)});
    return layout;
}

QByteArray codePageRecord(std::uint16_t codePage) {
    return record(0x0042, le16(codePage));
}

std::unique_ptr<kestrel::Workbook> openUnder(const WorkbookSpec& layout, const char* locale) {
    const int codePage = kestrel::ansiCodePage(QLocale(QString::fromLatin1(locale)));
    return kestrel::openXlsWorkbookFromBytes(compoundFile(workbookStream(layout)),
                                             QStringLiteral("old.xls"), codePage);
}

TEST(XlsWithoutCodePage, TextReadsInTheAnsiCodePageOfTheLocale) {
    struct Case {
        const char* locale;
        QByteArray bytes;
        QString text;
        int codePage;
    };
    const Case cases[] = {
        {"zh_CN", kGbkMemberCardType, kMemberCardType, 936},
        {"ru_RU", kCp1251Balances, QStringLiteral("Остатки"), 1251},
        {"en_US", kGbkMemberCardType, QStringLiteral("»áÔ±¿¨ÀàÐÍÃû³Æ"), 1252},
        {"en_US", QByteArray("Caf\xE9 \x80"), QStringLiteral("Café €"), 1252},
        {"ja_JP", QByteArray("\x89\xEF\x88\xF5"), QStringLiteral("会員"), 932},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        const auto book = openUnder(biff5Text(c.bytes), c.locale);
        EXPECT_EQ(c.text, book->worksheetName(1));
        EXPECT_EQ(c.text, book->cell(1, 1, 1).text);
        EXPECT_EQ(std::optional<int>(c.codePage), book->assumedCodePage());
    }
}

TEST(XlsWithoutCodePage, CodePageRecordWinsInEveryLocale) {
    for (const char* locale : {"zh_CN", "ru_RU", "en_US"}) {
        SCOPED_TRACE(locale);
        const auto chinese = openUnder(biff5Text(kGbkMemberCardType, codePageRecord(936)), locale);
        EXPECT_EQ(kMemberCardType, chinese->worksheetName(1));
        EXPECT_EQ(kMemberCardType, chinese->cell(1, 1, 1).text);
        EXPECT_FALSE(chinese->assumedCodePage());
        const auto russian = openUnder(biff5Text(kCp1251Balances, codePageRecord(1251)), locale);
        EXPECT_EQ(QStringLiteral("Остатки"), russian->cell(1, 1, 1).text);
    }
}

TEST(XlsWithoutCodePage, AssumptionIsNotedOnlyWhereItDecidedText) {
    // Plain ASCII reads the same in every code page.
    EXPECT_FALSE(openUnder(biff5Text("Sheet"), "zh_CN")->assumedCodePage());
    // A worksheet's own CODEPAGE record decides its cells; the sheet name is ASCII.
    WorkbookSpec ownRecord = biff5Text("Data");
    ownRecord.sheets[0].records = codePageRecord(1251) + labelCell(0, 0, kCp1251Balances);
    const auto book = openUnder(ownRecord, "zh_CN");
    EXPECT_EQ(QStringLiteral("Остатки"), book->cell(1, 1, 1).text);
    EXPECT_FALSE(book->assumedCodePage());
    // Excel 97-2003 text is Unicode.
    WorkbookSpec biff8;
    biff8.globals = xfRecords({0});
    biff8.sheets.push_back({QStringLiteral("会员"), 0, {}});
    EXPECT_FALSE(openUnder(biff8, "zh_CN")->assumedCodePage());
}

// Number, text (with its STRING record), boolean and date results under one FORMULA id.
QByteArray formulas(std::uint16_t id, bool biff8) {
    const QByteArray text =
        biff8 ? unicodeString(QStringLiteral("结果")) : le16(6) + QByteArray("result");
    return formulaCell(0, 0, le64(12.5), 0, id) +
           formulaCell(0, 1, formulaSpecialResult(0), 0, id) + record(0x0207, text) +
           formulaCell(0, 2, formulaSpecialResult(1, 1), 0, id) +
           formulaCell(1, 0, le64(45000.0), 1, id);
}

void expectFormulaResults(const kestrel::Workbook& book, const QString& text) {
    EXPECT_EQ(2, book.lastRow(1));
    EXPECT_EQ(12.5, book.cell(1, 1, 1).number);
    EXPECT_EQ(text, book.cell(1, 1, 2).text);
    const CellValue boolean = book.cell(1, 1, 3);
    ASSERT_EQ(CellValue::Type::Boolean, boolean.type);
    EXPECT_TRUE(boolean.boolean);
    EXPECT_EQ(QDate(2023, 3, 15), book.cell(1, 2, 1).date);
}

TEST(XlsOldFormulaIds, Excel3And4FormulaRecordsGiveTheirCachedResults) {
    for (const std::uint16_t id : {std::uint16_t(0x0206), std::uint16_t(0x0406)}) {
        for (const bool biff8 : {true, false}) {
            SCOPED_TRACE(testing::Message() << "id " << id << (biff8 ? " BIFF8" : " BIFF5"));
            WorkbookSpec layout;
            layout.biff8 = biff8;
            layout.globals = xfRecords({0, 14});
            layout.sheets.push_back({QStringLiteral("Sheet1"), 0, formulas(id, biff8)});
            const auto book = openUnder(layout, "en_US");
            expectFormulaResults(*book, biff8 ? QStringLiteral("结果") : QStringLiteral("result"));
        }
    }
}

std::unique_ptr<kestrel::Workbook> openSeed(const char* name, int codePage) {
    QFile file(sourceDir() + QStringLiteral("/fuzz/seeds/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return kestrel::openXlsWorkbookFromBytes(file.readAll(), QLatin1String(name), codePage);
}

TEST(XlsFuzzSeeds, AreFilesOfEachKind) {
    const auto noCodePage = openSeed("biff5-no-codepage-gbk.xls", 936);
    EXPECT_EQ(kMemberCardType, noCodePage->worksheetName(1));
    EXPECT_EQ(kMemberCardType, noCodePage->cell(1, 1, 1).text);
    EXPECT_EQ(std::optional<int>(936), noCodePage->assumedCodePage());
    const auto oldIds = openSeed("biff8-formula-old-ids.xls", 1252);
    expectFormulaResults(*oldIds, QStringLiteral("结果"));
}

} // namespace
