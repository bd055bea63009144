// The small pieces under the reader: format codes, serial dates, error texts, code pages.
#include "text/cellvalue.h"
#include "text/codepage.h"
#include "workbook/date_formats.h"
#include "workbook/serial_dates.h"

#include <gtest/gtest.h>

using kestrel::CellValue;
using kestrel::dateTimeFromSerial;
using kestrel::isDateFormatCode;

namespace {

TEST(XlsFormats, DateTokensOutsideQuotesAndBrackets) {
    for (const char* code : {"yyyy\"年\"m\"月\"d\"日\"", "[DBNum1][$-804]yyyy\"年\"m\"月\"d\"日\"",
                             "m\"月\"d\"日\"", "h:mm AM/PM", "[h]:mm:ss", "[$-409]d-mmm-yy;@",
                             "yyyy\\-mm\\-dd;@", "上午/下午h\"时\"mm\"分\"", "mm:ss.0"}) {
        EXPECT_TRUE(isDateFormatCode(QString::fromUtf8(code))) << code;
    }
    for (const char* code : {"General", "0.00_ ", "#,##0.00\"元\"", "[Red]0.00", "\"day\" 0",
                             "0.00E+00", "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)", "@",
                             "[$¥-804]#,##0.00", "0\\d", "#,##0 \"mm\"", "[h]", "[SS]"}) {
        EXPECT_FALSE(isDateFormatCode(QString::fromUtf8(code))) << code;
    }
}

TEST(XlsDates, Excel1900SystemWithItsLeapYearBug) {
    EXPECT_EQ(QDate(1900, 1, 1), dateTimeFromSerial(1, false).date);
    EXPECT_EQ(QDate(1900, 2, 28), dateTimeFromSerial(59, false).date);
    EXPECT_EQ(QDate(1900, 3, 1), dateTimeFromSerial(61, false).date);
    EXPECT_EQ(QDate(2027, 12, 31), dateTimeFromSerial(46752, false).date);
    EXPECT_EQ(QDate(9999, 12, 31), dateTimeFromSerial(2958465, false).date);
}

TEST(XlsDates, TimesRoundToTheSecond) {
    // 14:30 stored as a fraction lands a hair below the minute.
    const CellValue afternoon = dateTimeFromSerial(45000 + 14.5 / 24 - 1e-9, false);
    EXPECT_EQ(QTime(14, 30), afternoon.time);
    EXPECT_EQ(QDate(2023, 3, 15), afternoon.date);
    // A time that rounds up to midnight moves to the next day.
    const CellValue late = dateTimeFromSerial(45000 + 86399.6 / 86400, false);
    EXPECT_EQ(QDate(2023, 3, 16), late.date);
    EXPECT_EQ(QTime(0, 0), late.time);
    const CellValue timeOnly = dateTimeFromSerial(0.75, false);
    EXPECT_EQ(QDate(1899, 12, 30), timeOnly.date);
    EXPECT_EQ(QTime(18, 0), timeOnly.time);
}

TEST(XlsDates, Excel1904System) {
    EXPECT_EQ(QDate(1904, 1, 1), dateTimeFromSerial(0, true).date);
    EXPECT_EQ(QDate(2023, 3, 15), dateTimeFromSerial(45000 - 1462, true).date);
}

TEST(XlsDates, ValuesNoDateCanShowStayNumbers) {
    EXPECT_EQ(CellValue::Type::Number, dateTimeFromSerial(-1, false).type);
    EXPECT_EQ(CellValue::Type::Number, dateTimeFromSerial(2958466, false).type);
    EXPECT_EQ(CellValue::Type::Number, dateTimeFromSerial(std::nan(""), false).type);
    EXPECT_EQ(CellValue::Type::Number, dateTimeFromSerial(1e300, true).type);
}

TEST(ErrorCodeText, ExcelsTexts) {
    EXPECT_EQ(QStringLiteral("#NULL!"), kestrel::errorCodeText(0x00));
    EXPECT_EQ(QStringLiteral("#DIV/0!"), kestrel::errorCodeText(0x07));
    EXPECT_EQ(QStringLiteral("#VALUE!"), kestrel::errorCodeText(0x0F));
    EXPECT_EQ(QStringLiteral("#REF!"), kestrel::errorCodeText(0x17));
    EXPECT_EQ(QStringLiteral("#NAME?"), kestrel::errorCodeText(0x1D));
    EXPECT_EQ(QStringLiteral("#NUM!"), kestrel::errorCodeText(0x24));
    EXPECT_EQ(QStringLiteral("#N/A"), kestrel::errorCodeText(0x2A));
    EXPECT_EQ(QStringLiteral("#ERR99"), kestrel::errorCodeText(99));
}

TEST(CodePage, ChineseRoundTripsThroughGbk) {
    const QString text = QStringLiteral("青雁软件 ABC 洗浴");
    const QByteArray gbk = kestrel::encodeCodePage(text, 936);
    EXPECT_EQ(QByteArray("\xC7\xE0\xD1\xE3", 4), gbk.left(4));
    EXPECT_EQ(text.size() + 6, gbk.size()); // six Chinese characters take two bytes each
    EXPECT_EQ(text, kestrel::decodeCodePage(gbk, 936));
}

TEST(CodePage, UnencodableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(QByteArray("a?b?c"), kestrel::encodeCodePage(QStringLiteral("a汉b😀c"), 1252));
    EXPECT_EQ(QByteArray("caf\xE9", 4), kestrel::encodeCodePage(QStringLiteral("café"), 1252));
}

TEST(CodePage, OtherCodePagesAndFallbacks) {
    EXPECT_EQ(QStringLiteral("Łódź"),
              kestrel::decodeCodePage(QByteArray("\xFC\x97\x64\x90", 4), 10029));
    EXPECT_EQ(QStringLiteral("Привет"),
              kestrel::decodeCodePage(QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2"), 1251));
    EXPECT_EQ(QStringLiteral("é"), kestrel::decodeCodePage(QByteArray("\xE9"), 32769));
    // An unknown code page reads as Latin-1; a broken GBK byte does not stop the text.
    EXPECT_EQ(QStringLiteral("\u00E9"), kestrel::decodeCodePage(QByteArray("\xE9"), 12345));
    EXPECT_TRUE(kestrel::decodeCodePage(QByteArray("A\xC7"), 936).startsWith(u'A'));
}

TEST(CodePage, AnsiCodePageOfALocale) {
    // The script decides before the language: Serbian, Azerbaijani and Chinese come in two.
    const std::pair<const char*, int> cases[] = {
        {"zh_CN", 936},  {"zh_SG", 936},       {"zh_TW", 950},       {"zh_HK", 950},
        {"ja_JP", 932},  {"ko_KR", 949},       {"ru_RU", 1251},      {"uk_UA", 1251},
        {"sr_RS", 1251}, {"sr_Latn_RS", 1250}, {"az_Cyrl_AZ", 1251}, {"az_AZ", 1254},
        {"pl_PL", 1250}, {"cs_CZ", 1250},      {"el_GR", 1253},      {"tr_TR", 1254},
        {"he_IL", 1255}, {"ar_SA", 1256},      {"fa_IR", 1256},      {"lt_LT", 1257},
        {"vi_VN", 1258}, {"th_TH", 874},       {"en_US", 1252},      {"de_DE", 1252},
        {"C", 1252},
    };
    for (const auto& [name, codePage] : cases) {
        EXPECT_EQ(codePage, kestrel::ansiCodePage(QLocale(QString::fromLatin1(name)))) << name;
    }
}

} // namespace
