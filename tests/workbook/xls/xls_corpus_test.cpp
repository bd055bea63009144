// Every workbook of the .xls corpus (tests/data/xls-corpus) against the values an independent reader (xlrd) took
// from it. Where this reader answers differently on purpose, the case says why and checks
// this reader's answer instead.
#include "corpus_support.h"
#include "row_view_check.h"
#include "test_paths.h"
#include "text/errors.h"
#include "workbook/workbook.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

using kestrel::CellValue;
using kestrel::test::xlsCorpusDir;

namespace {

constexpr int kMaxColumns = 256;

std::vector<std::string> corpusFiles() {
    return kestrel::test::corpusFileNames(xlsCorpusDir(), {QStringLiteral("*.xls")});
}

QJsonObject expectation(const QString& file) {
    return kestrel::test::corpusExpectation(xlsCorpusDir(), file);
}

const char* typeName(CellValue::Type type) {
    return kestrel::test::corpusTypeName(type);
}

// The serial number a date-time stands for, as the file stores it (1900 serials below 61 are
// one day higher than the plain count because of the 1900-02-29 Excel keeps).
double serialOf(const CellValue& value, bool date1904) {
    QDate base = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    if (!date1904 && value.date < QDate(1900, 3, 1) && value.date >= QDate(1900, 1, 1)) {
        base = QDate(1899, 12, 31);
    }
    const qint64 days = base.daysTo(value.date);
    return double(days) + value.time.msecsSinceStartOfDay() / 86400000.0;
}

QString isoOf(const CellValue& value, bool date1904) {
    const QDate dayZero = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    if (value.date == dayZero) {
        return value.time.toString(QStringLiteral("HH:mm:ss")); // xlrd gives a time only
    }
    return value.date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('T') +
           value.time.toString(QStringLiteral("HH:mm:ss"));
}

std::string place(const QString& sheet, int row, int column) {
    return QStringLiteral("%1!R%2C%3").arg(sheet).arg(row).arg(column).toStdString();
}

void expectCell(const CellValue& actual, const QJsonObject& cell, bool date1904,
                const std::string& where) {
    const QString type = cell.value(QStringLiteral("t")).toString();
    const QJsonValue v = cell.value(QStringLiteral("v"));
    SCOPED_TRACE(where);
    if (type == QLatin1String("blank")) {
        EXPECT_TRUE(actual.isBlank()) << typeName(actual.type);
        return;
    }
    if (cell.value(QStringLiteral("iso_error")).toString() == QLatin1String("XLDateNegative")) {
        // No date has a negative serial (Excel shows ####): the number stays a number.
        ASSERT_EQ(CellValue::Type::Number, actual.type);
        EXPECT_DOUBLE_EQ(v.toDouble(), actual.number);
        return;
    }
    ASSERT_EQ(type.toStdString(), typeName(actual.type));
    if (type == QLatin1String("text")) {
        EXPECT_EQ(v.toString(), actual.text);
    } else if (type == QLatin1String("number")) {
        EXPECT_DOUBLE_EQ(v.toDouble(), actual.number);
    } else if (type == QLatin1String("boolean")) {
        EXPECT_EQ(v.toBool(), actual.boolean);
    } else if (type == QLatin1String("error")) {
        EXPECT_EQ(cell.value(QStringLiteral("code")).toInt(), actual.errorCode);
        EXPECT_EQ(v.toString(), kestrel::errorCodeText(actual.errorCode));
    } else if (type == QLatin1String("date")) {
        if (cell.contains(QStringLiteral("iso"))) {
            EXPECT_EQ(cell.value(QStringLiteral("iso")).toString(), isoOf(actual, date1904));
        } else {
            // xlrd refuses 1900 serials below 61; Excel shows them (see the 1900 test below).
            EXPECT_NEAR(v.toDouble(), serialOf(actual, date1904), 1.0 / 86400);
        }
    }
}

struct SheetTotals {
    std::map<std::string, int> counts;
    double numberSum = 0.0;
    double dateSum = 0.0;
    QCryptographicHash texts{QCryptographicHash::Sha256};
};

void addTotals(const kestrel::Workbook& book, int sheet, bool date1904, SheetTotals& totals) {
    for (int row = 1; row <= book.lastRow(sheet); ++row) {
        for (int column = 1; column <= kMaxColumns; ++column) {
            const CellValue value = book.cell(sheet, row, column);
            if (value.isBlank()) {
                continue;
            }
            ++totals.counts[typeName(value.type)];
            if (value.type == CellValue::Type::Number) {
                totals.numberSum += value.number;
            } else if (value.type == CellValue::Type::DateTime) {
                totals.dateSum += serialOf(value, date1904);
            } else if (value.type == CellValue::Type::Text) {
                totals.texts.addData(value.text.toUtf8() + '\n');
            }
        }
    }
}

void expectSheet(const kestrel::Workbook& book, int sheet, const QJsonObject& expected,
                 bool date1904) {
    const QString name = expected.value(QStringLiteral("name")).toString();
    SCOPED_TRACE(name.toStdString());
    EXPECT_EQ(name, book.worksheetName(sheet));
    // xlrd's nrows counts formatted blank cells as this reader's last row does.
    EXPECT_EQ(expected.value(QStringLiteral("nrows")).toInt(), book.lastRow(sheet));
    for (const QJsonValue& item : expected.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject cell = item.toObject();
        const int row = cell.value(QStringLiteral("r")).toInt() + 1;
        const int column = cell.value(QStringLiteral("c")).toInt() + 1;
        expectCell(book.cell(sheet, row, column), cell, date1904, place(name, row, column));
    }
    // The totals cover every cell, also of sheets whose cell list is cut short.
    SheetTotals totals;
    addTotals(book, sheet, date1904, totals);
    std::map<std::string, int> counts;
    const QJsonObject expectedCounts = expected.value(QStringLiteral("counts")).toObject();
    for (auto it = expectedCounts.begin(); it != expectedCounts.end(); ++it) {
        if (it.key() != QLatin1String("blank")) {
            counts[it.key().toStdString()] = it.value().toInt();
        }
    }
    double numberSum = expected.value(QStringLiteral("number_sum")).toDouble();
    double dateSum = expected.value(QStringLiteral("date_sum")).toDouble();
    for (const QJsonValue& item : expected.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject cell = item.toObject();
        if (cell.value(QStringLiteral("iso_error")).toString() == QLatin1String("XLDateNegative")) {
            const double value = cell.value(QStringLiteral("v")).toDouble();
            --counts["date"];
            ++counts["number"];
            numberSum += value;
            dateSum -= value;
        }
    }
    if (counts["date"] == 0) {
        counts.erase("date");
    }
    EXPECT_NEAR(numberSum, totals.numberSum, 1e-9 * std::max(1.0, std::abs(numberSum)));
    EXPECT_EQ(counts, totals.counts);
    EXPECT_NEAR(dateSum, totals.dateSum, 1e-4 * std::max(1, counts["date"]));
    EXPECT_EQ(expected.value(QStringLiteral("text_sha256")).toString().toLatin1(),
              totals.texts.result().toHex());
}

// Worksheets as Excel's Worksheets collection counts them: xlrd also loads dialog sheets.
std::vector<QJsonObject> expectedWorksheets(const QJsonObject& json) {
    std::vector<QJsonObject> sheets;
    for (const QJsonValue& item : json.value(QStringLiteral("sheets")).toArray()) {
        const QJsonObject sheet = item.toObject();
        if (sheet.value(QStringLiteral("loaded")).toBool() &&
            sheet.value(QStringLiteral("kind")).toString() == QLatin1String("worksheet")) {
            sheets.push_back(sheet);
        }
    }
    return sheets;
}

// Files xlrd cannot read, with what this reader must give instead in a test of their own.
bool isReadDifferently(const QString& file) {
    return file == QLatin1String("wps-defined-name-xlrd12-crash.xls") ||
           file == QLatin1String("encrypted-rc4-velvetsweatshop.xls");
}

class CorpusFile : public testing::TestWithParam<std::string> {};

TEST_P(CorpusFile, ReadsAsExpected) {
    const QString file = QString::fromStdString(GetParam());
    const QString path = xlsCorpusDir() + QLatin1Char('/') + file;
    const QJsonObject json = expectation(file);
    ASSERT_FALSE(json.isEmpty()) << "no expectation for " << GetParam();
    if (isReadDifferently(file)) {
        GTEST_SKIP() << "checked by its own test below";
    }
    if (json.value(QStringLiteral("outcome")).toString() != QLatin1String("ok")) {
        try {
            kestrel::openXlsWorkbook(path);
            FAIL() << "opened a file that cannot be read";
        } catch (const kestrel::WorkbookError& error) {
            EXPECT_TRUE(error.message().contains(QDir::toNativeSeparators(path)));
            const QJsonObject probe = json.value(QStringLiteral("probe")).toObject();
            QString reason = QStringLiteral("an Excel 97-2003 (.xls) workbook");
            if (probe.contains(QStringLiteral("filepass"))) {
                reason =
                    QStringLiteral("The workbook is protected by a password and cannot be read");
            } else if (probe.value(QStringLiteral("container")).toString() ==
                       QLatin1String("ole2")) {
                reason = QStringLiteral("The file is damaged or incomplete");
            }
            EXPECT_TRUE(error.message().contains(reason)) << error.what();
        }
        return;
    }
    const auto book = kestrel::openXlsWorkbook(path);
    const bool date1904 = json.value(QStringLiteral("workbook"))
                              .toObject()
                              .value(QStringLiteral("datemode"))
                              .toInt() == 1;
    const std::vector<QJsonObject> sheets = expectedWorksheets(json);
    ASSERT_EQ(int(sheets.size()), book->worksheetCount());
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        expectSheet(*book, int(i) + 1, sheets[i], date1904);
        kestrel::test::expectRowsReadAsCells(*book, int(i) + 1);
    }
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusFile, testing::ValuesIn(corpusFiles()), testName);

std::unique_ptr<kestrel::Workbook> openCorpus(const char* file) {
    return kestrel::openXlsWorkbook(xlsCorpusDir() + QLatin1Char('/') + QLatin1String(file));
}

TEST(CorpusDifferences, DialogSheetIsNotAWorksheet) {
    // xlrd loads the dialog sheet; Excel's Worksheets collection, and so this reader, does not
    // count it, nor the chart and macro sheets.
    const auto book = openCorpus("sheet-types-chart-macro-dialog.xls");
    ASSERT_EQ(1, book->worksheetCount());
    EXPECT_EQ(QStringLiteral("Sheet1"), book->worksheetName(1));
    EXPECT_EQ(0, book->lastRow(1));
    EXPECT_THROW(book->lastRow(2), kestrel::WorkbookError);
}

TEST(CorpusDifferences, ChartSheetsAreSkippedInSheetOrder) {
    const auto book = openCorpus("cjk-zh-hant-label-records-chart-sheets.xls");
    const QJsonObject json =
        expectation(QStringLiteral("cjk-zh-hant-label-records-chart-sheets.xls"));
    EXPECT_EQ(int(expectedWorksheets(json).size()), book->worksheetCount());
    EXPECT_EQ(QStringLiteral("POTS-表"), book->worksheetName(7));
}

TEST(CorpusDifferences, Excel1900DatesBelowSerial61AsExcelShowsThem) {
    // xlrd refuses serials below 61; column C holds Excel's own TEXT(B, "yyyy-mm-dd").
    const auto book = openCorpus("dates-1900-datemode.xls");
    for (int row = 1; row <= 5; ++row) {
        const CellValue date = book->cell(1, row, 2);
        ASSERT_EQ(CellValue::Type::DateTime, date.type);
        EXPECT_EQ(book->cell(1, row, 3).text, date.date.toString(QStringLiteral("yyyy-MM-dd")));
        EXPECT_EQ(QTime(0, 0), date.time);
    }
}

TEST(CorpusDifferences, Excel1904DatesMatchExcelsText) {
    const auto book = openCorpus("dates-1904-datemode.xls");
    for (int row = 1; row <= 5; ++row) {
        const CellValue date = book->cell(1, row, 2);
        ASSERT_EQ(CellValue::Type::DateTime, date.type);
        EXPECT_EQ(book->cell(1, row, 3).text, date.date.toString(QStringLiteral("yyyy-MM-dd")));
    }
}

TEST(CorpusDifferences, BitRotInsideRecordsCannotBeSeen) {
    // The flipped bytes of this file land in a text's characters and in a cell record's id,
    // leaving every length and offset intact: no reader can tell, and this one, like xlrd,
    // reads what is there (the generic case above compares it with xlrd's reading).
    const auto intact = openCorpus("cjk-zh-template-dates-times.xls");
    const auto flipped = openCorpus("broken-bytes-flipped.xls");
    EXPECT_EQ(QStringLiteral("性别"), intact->cell(1, 1, 2).text);
    EXPECT_EQ(QStringLiteral("惒别"), flipped->cell(1, 1, 2).text);
    EXPECT_EQ(33.2, intact->cell(1, 2, 4).number);
    EXPECT_TRUE(flipped->cell(1, 2, 4).isBlank());
}

TEST(CorpusDifferences, DefaultPasswordWorkbookOpensAsInExcel) {
    // Encrypted under Excel's built-in password, which Excel opens without asking; xlrd only
    // says it is encrypted.
    const auto book = openCorpus("encrypted-rc4-velvetsweatshop.xls");
    ASSERT_LE(1, book->worksheetCount());
    EXPECT_EQ(1, book->lastRow(1));
    EXPECT_EQ(QStringLiteral("x"), book->cell(1, 1, 1).text);
}

TEST(CorpusDifferences, OtherPasswordStaysAnError) {
    // The same file with one byte of its password verifier changed, as under a real password.
    QFile file(xlsCorpusDir() + QStringLiteral("/encrypted-rc4-velvetsweatshop.xls"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    const qsizetype filePass =
        bytes.indexOf(QByteArray("\x2F\x00\x36\x00\x01\x00\x01\x00\x01\x00", 10));
    ASSERT_GT(filePass, 0);
    bytes[filePass + 10 + 16] = char(bytes[filePass + 10 + 16] ^ 0x5A);
    try {
        kestrel::openXlsWorkbookFromBytes(bytes, QStringLiteral("pw.xls"));
        FAIL() << "opened";
    } catch (const kestrel::WorkbookError& error) {
        EXPECT_TRUE(error.message().contains(
            QStringLiteral("The workbook is protected by a password and cannot be read")));
    }
}

TEST(CorpusDifferences, WpsDefinedNameFileReadsWhereXlrdCrashes) {
    // xlrd 1.2.0 fails on a defined name's formula; the sheet itself is sound.
    const auto book = openCorpus("wps-defined-name-xlrd12-crash.xls");
    ASSERT_EQ(3, book->worksheetCount());
    EXPECT_EQ(0, book->lastRow(2));
    EXPECT_EQ(0, book->lastRow(3));
    EXPECT_EQ(1, book->lastRow(1));
    const CellValue a1 = book->cell(1, 1, 1);
    ASSERT_EQ(CellValue::Type::Error, a1.type);
    EXPECT_EQ(QStringLiteral("#REF!"), kestrel::errorCodeText(a1.errorCode));
}

} // namespace
