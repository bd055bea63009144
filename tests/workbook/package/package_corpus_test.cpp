// Every .xlsx, .xlsm and .ods of the sheet corpus (tests/data/sheet-corpus) against the values an
// independent reader (openpyxl for Office Open XML, odfpy for OpenDocument) took from it. Where
// this reader answers differently on purpose, the rule or the case below says why and checks this
// reader's answer instead.
#include "corpus_support.h"
#include "row_view_check.h"
#include "test_paths.h"
#include "text/errors.h"
#include "workbook/package/package_cells.h"
#include "workbook/workbook.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

using kestrel::CellValue;
using kestrel::test::sheetCorpusDir;

namespace {

QString corpusPath(const QString& file) {
    return sheetCorpusDir() + QLatin1Char('/') + file;
}

std::vector<std::string> corpusFiles() {
    return kestrel::test::corpusFileNames(
        sheetCorpusDir(),
        {QStringLiteral("*.xlsx"), QStringLiteral("*.xlsm"), QStringLiteral("*.ods")});
}

QJsonObject expectation(const QString& file) {
    return kestrel::test::corpusExpectation(sheetCorpusDir(), file);
}

const char* typeName(CellValue::Type type) {
    return kestrel::test::corpusTypeName(type);
}

// How the oracle numbers dates: .xlsx serials in the workbook's date system (1900 serials
// before 1900-03-01 one higher, for the 1900-02-29 Excel keeps); .ods days since the
// document's null date.
struct Epoch {
    QDate zero;
    bool excel1900 = false;

    double serialOf(const CellValue& value) const {
        qint64 days = zero.daysTo(value.date);
        if (excel1900 && value.date < QDate(1900, 3, 1) && value.date >= QDate(1900, 1, 1))
            --days; // serial 1 is 1900-01-01
        return double(days) + value.time.msecsSinceStartOfDay() / 86400000.0;
    }
};

Epoch epochOf(const QJsonObject& json, bool ods) {
    const QJsonObject workbook = json.value(QStringLiteral("workbook")).toObject();
    if (ods) {
        const QString nullDate = workbook.value(QStringLiteral("null_date")).toString();
        const QDate date = QDate::fromString(nullDate.left(10), Qt::ISODate);
        return {date.isValid() ? date : QDate(1899, 12, 30), false};
    }
    if (workbook.value(QStringLiteral("date1904")).toBool())
        return {QDate(1904, 1, 1), false};
    return {QDate(1899, 12, 30), true};
}

// What this reader gives for a cell the oracle recorded, where the two differ on purpose.
QJsonObject intended(QJsonObject cell) {
    const QString type = cell.value(QStringLiteral("t")).toString();
    const QString cached = cell.value(QStringLiteral("cv")).toString();
    const QString written = cell.value(QStringLiteral("xt")).toString();
    if (type == QLatin1String("blank") && cached == QLatin1String("empty") &&
        written == QLatin1String("str")) {
        // A formula whose cached result is the empty text: openpyxl reads no value; Excel's
        // value is "".
        cell[QStringLiteral("t")] = QStringLiteral("text");
        cell[QStringLiteral("v")] = QString();
    } else if (type == QLatin1String("blank") && cell.contains(QStringLiteral("f"))) {
        // A formula saved without its result is an error cell (its text names the cell when
        // an import reads it), never a silent blank.
        cell[QStringLiteral("t")] = QStringLiteral("error");
        cell[QStringLiteral("v")] = kestrel::errorCodeText(kestrel::package::kNoFormulaResult);
    } else if (type == QLatin1String("number") && cell.contains(QStringLiteral("fmt_id"))) {
        // Chinese-locale built-in formats 27-36 and 50-58 show dates in Excel; openpyxl does
        // not know them. Format letters count in either case in Excel ("D" is the day, as
        // LibreOffice 4.1 writes it); openpyxl misses the upper-case D, H and S.
        const int id = cell.value(QStringLiteral("fmt_id")).toInt();
        const QString code = cell.value(QStringLiteral("fmt")).toString();
        if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58) || code == QLatin1String("D") ||
            code == QLatin1String("H") || code == QLatin1String("S"))
            cell[QStringLiteral("t")] = QStringLiteral("date");
    }
    if (cell.value(QStringLiteral("t")).toString() == QLatin1String("date") &&
        cell.value(QStringLiteral("v")).toDouble() < 0) {
        // No date has a negative serial (Excel shows ####): the number stays a number.
        cell[QStringLiteral("t")] = QStringLiteral("number");
    }
    return cell;
}

// The _xHHHH_ escapes openpyxl leaves in the text, decoded as the writer meant them.
const std::map<std::pair<QString, QString>, QString>& decodedEscapes() {
    static const std::map<std::pair<QString, QString>, QString> cases{
        {{QStringLiteral("unknown-writer-inline-x000D.xlsx"), QStringLiteral("Sheet1!R1C1")},
         QStringLiteral("ABC\r\nDEF")},
        {{QStringLiteral("excel-mac-formula-stress-array-errors.xlsx"),
          QStringLiteral("Text!R38C3")},
         QStringLiteral("\u00077\u0007")},
    };
    return cases;
}

QString intendedText(const QString& file, const QString& where, const QString& text) {
    const auto escaped = decodedEscapes().find({file, where});
    return escaped != decodedEscapes().end() ? escaped->second : text;
}

QString place(const QString& sheet, int row, int column) {
    return QStringLiteral("%1!R%2C%3").arg(sheet).arg(row).arg(column);
}

void expectCell(const CellValue& actual, const QJsonObject& cell, const Epoch& epoch,
                const QString& file, const QString& where) {
    const QString type = cell.value(QStringLiteral("t")).toString();
    const QJsonValue v = cell.value(QStringLiteral("v"));
    SCOPED_TRACE(where.toStdString());
    if (type == QLatin1String("blank")) {
        EXPECT_TRUE(actual.isBlank()) << typeName(actual.type);
        return;
    }
    ASSERT_EQ(type.toStdString(), typeName(actual.type));
    if (type == QLatin1String("text")) {
        EXPECT_EQ(intendedText(file, where, v.toString()), actual.text);
    } else if (type == QLatin1String("number")) {
        EXPECT_DOUBLE_EQ(v.toDouble(), actual.number);
    } else if (type == QLatin1String("boolean")) {
        EXPECT_EQ(v.toBool(), actual.boolean);
    } else if (type == QLatin1String("error")) {
        EXPECT_EQ(v.toString(), kestrel::errorCodeText(actual.errorCode));
    } else if (type == QLatin1String("date")) {
        // This reader gives dates to the second, as the spreadsheet shows them.
        EXPECT_NEAR(v.toDouble(), epoch.serialOf(actual), 0.5 / 86400 + 1e-9);
    }
}

struct Totals {
    std::map<std::string, int> counts;
    double numberSum = 0.0;
    double dateSum = 0.0;
    QByteArray texts; // every text followed by a line feed, row by row

    QByteArray textHash() const {
        return QCryptographicHash::hash(texts, QCryptographicHash::Sha256).toHex();
    }

    void add(const CellValue& value, const Epoch& epoch) {
        if (value.isBlank())
            return;
        ++counts[typeName(value.type)];
        if (value.type == CellValue::Type::Number)
            numberSum += value.number;
        else if (value.type == CellValue::Type::DateTime)
            dateSum += epoch.serialOf(value);
        else if (value.type == CellValue::Type::Text)
            texts += value.text.toUtf8() + '\n';
    }
};

// The totals of the cells the oracle recorded, as this reader intends them.
Totals intendedTotals(const QJsonArray& cells, const QString& file, const QString& sheet) {
    Totals totals;
    for (const QJsonValue& item : cells) {
        const QJsonObject cell = intended(item.toObject());
        const QString where = place(sheet, cell.value(QStringLiteral("r")).toInt() + 1,
                                    cell.value(QStringLiteral("c")).toInt() + 1);
        const QString type = cell.value(QStringLiteral("t")).toString();
        if (type == QLatin1String("blank"))
            continue;
        ++totals.counts[type.toStdString()];
        if (type == QLatin1String("number"))
            totals.numberSum += cell.value(QStringLiteral("v")).toDouble();
        else if (type == QLatin1String("date"))
            totals.dateSum += cell.value(QStringLiteral("v")).toDouble();
        else if (type == QLatin1String("text"))
            totals.texts +=
                intendedText(file, where, cell.value(QStringLiteral("v")).toString()).toUtf8() +
                '\n';
    }
    return totals;
}

Totals summaryTotals(const QJsonObject& sheet) {
    Totals totals;
    const QJsonObject counts = sheet.value(QStringLiteral("counts")).toObject();
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        if (it.key() != QLatin1String("blank"))
            totals.counts[it.key().toStdString()] = it.value().toInt();
    }
    totals.numberSum = sheet.value(QStringLiteral("number_sum")).toDouble();
    totals.dateSum = sheet.value(QStringLiteral("date_sum")).toDouble();
    return totals;
}

// The cells covered by merged ranges, their top-left cells left out. Some writers (WPS) repeat
// the merged value in every covered cell; openpyxl drops those values, this reader keeps them
// as Excel does (a covered cell's Value gives what the file holds there).
struct MergedCover {
    struct Range {
        int top, left, bottom, right; // 1-based
    };
    std::vector<Range> ranges;

    static int columnOf(const QString& letters) {
        int column = 0;
        for (QChar c : letters)
            column = column * 26 + (c.unicode() - u'A' + 1);
        return column;
    }
    explicit MergedCover(const QJsonArray& merged) {
        static const QRegularExpression a1(QStringLiteral("^([A-Z]+)(\\d+):([A-Z]+)(\\d+)$"));
        for (const QJsonValue& item : merged) {
            const QRegularExpressionMatch m = a1.match(item.toString());
            if (m.hasMatch())
                ranges.push_back({m.captured(2).toInt(), columnOf(m.captured(1)),
                                  m.captured(4).toInt(), columnOf(m.captured(3))});
        }
    }
    bool covers(int row, int column) const {
        for (const Range& r : ranges) {
            if (row >= r.top && row <= r.bottom && column >= r.left && column <= r.right &&
                (row != r.top || column != r.left))
                return true;
        }
        return false;
    }
};

void expectSheet(const kestrel::Workbook& book, int sheet, const QJsonObject& expected,
                 const Epoch& epoch, const QString& file) {
    const QString name = expected.value(QStringLiteral("name")).toString();
    SCOPED_TRACE(name.toStdString());
    EXPECT_EQ(name, book.worksheetName(sheet));
    // nrows counts cells without a value (formatted blanks), as this reader's last row does.
    const int rows = expected.value(QStringLiteral("nrows")).toInt();
    EXPECT_EQ(rows, book.lastRow(sheet));
    const QJsonArray cells = expected.value(QStringLiteral("cells")).toArray();
    for (const QJsonValue& item : cells) {
        const QJsonObject cell = intended(item.toObject());
        const int row = cell.value(QStringLiteral("r")).toInt() + 1;
        const int column = cell.value(QStringLiteral("c")).toInt() + 1;
        expectCell(book.cell(sheet, row, column), cell, epoch, file, place(name, row, column));
    }
    const int columns = expected.value(QStringLiteral("ncols")).toInt();
    if (double(rows) * columns > 2e7) {
        // Styled blanks out to XFD1048576: every value lies in the recorded rows checked above.
        EXPECT_TRUE(expected.value(QStringLiteral("truncated")).toBool());
        return;
    }
    const bool ods = file.endsWith(QLatin1String(".ods"));
    const MergedCover merged(ods ? QJsonArray()
                                 : expected.value(QStringLiteral("merged")).toArray());
    Totals actual;
    for (int row = 1; row <= book.lastRow(sheet); ++row) {
        for (int column = 1; column <= columns; ++column) {
            if (!merged.covers(row, column))
                actual.add(book.cell(sheet, row, column), epoch);
        }
    }
    const bool truncated = expected.value(QStringLiteral("truncated")).toBool();
    Totals wanted = truncated ? summaryTotals(expected) : intendedTotals(cells, file, name);
    const QByteArray wantedTexts =
        truncated ? expected.value(QStringLiteral("text_sha256")).toString().toLatin1()
                  : wanted.textHash();
    EXPECT_EQ(wanted.counts, actual.counts);
    EXPECT_NEAR(wanted.numberSum, actual.numberSum,
                1e-9 * std::max(1.0, std::abs(wanted.numberSum)));
    EXPECT_NEAR(wanted.dateSum, actual.dateSum, 1e-4 * std::max(1, wanted.counts["date"]));
    EXPECT_EQ(wantedTexts, actual.textHash());
}

std::vector<QJsonObject> expectedWorksheets(const QJsonObject& json) {
    std::vector<QJsonObject> sheets;
    for (const QJsonValue& item : json.value(QStringLiteral("sheets")).toArray()) {
        const QJsonObject sheet = item.toObject();
        const QString kind = sheet.value(QStringLiteral("kind")).toString();
        if (kind == QLatin1String("worksheet") || kind == QLatin1String("table"))
            sheets.push_back(sheet);
    }
    return sheets;
}

void expectWorkbook(const QString& file, const QJsonObject& json, const QString& path) {
    const auto book = kestrel::openWorkbook(path);
    const Epoch epoch = epochOf(json, file.endsWith(QLatin1String(".ods")));
    const std::vector<QJsonObject> sheets = expectedWorksheets(json);
    ASSERT_EQ(int(sheets.size()), book->worksheetCount());
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        expectSheet(*book, int(i) + 1, sheets[i], epoch, file);
        kestrel::test::expectRowsReadAsCells(*book, int(i) + 1);
    }
}

// Files read differently from the oracle, each with a test of its own below.
bool isReadDifferently(const QString& file) {
    static const QStringList files{
        QStringLiteral("excel-win-hidden-sheets-strict.xlsx"),
        QStringLiteral("node-xlsx-stream-d-date-cells.xlsx"),
        QStringLiteral("broken-missing-sheet-part.xlsx"),
        QStringLiteral("broken-xls-renamed.xlsx"),
        QStringLiteral("unknown-writer-inline-x000D.xlsx"),
    };
    return files.contains(file);
}

QString refusalReason(const QJsonObject& json) {
    const QJsonObject probe = json.value(QStringLiteral("probe")).toObject();
    const QString container = probe.value(QStringLiteral("container")).toString();
    if (container == QLatin1String("ole2") || probe.value(QStringLiteral("encrypted")).toBool())
        return QStringLiteral("The workbook is protected by a password and cannot be read");
    if (container == QLatin1String("empty"))
        return QStringLiteral("The file is empty");
    if (probe.value(QStringLiteral("package")).toString() == QLatin1String("zip-without-workbook"))
        return QStringLiteral(
            "neither an Excel workbook (.xlsx, .xlsm) nor an OpenDocument spreadsheet");
    return QStringLiteral("The file is damaged or incomplete");
}

class SheetCorpusFile : public testing::TestWithParam<std::string> {};

TEST_P(SheetCorpusFile, ReadsAsExpected) {
    const QString file = QString::fromStdString(GetParam());
    const QString path = corpusPath(file);
    const QJsonObject json = expectation(file);
    ASSERT_FALSE(json.isEmpty()) << "no expectation for " << GetParam();
    if (isReadDifferently(file))
        GTEST_SKIP() << "checked by its own test below";
    if (json.value(QStringLiteral("outcome")).toString() != QLatin1String("ok")) {
        try {
            kestrel::openWorkbook(path);
            FAIL() << "opened a file that cannot be read";
        } catch (const kestrel::WorkbookError& error) {
            EXPECT_TRUE(error.message().contains(QDir::toNativeSeparators(path)));
            EXPECT_TRUE(error.message().contains(refusalReason(json))) << error.what();
        }
        return;
    }
    expectWorkbook(file, json, path);
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(SheetCorpus, SheetCorpusFile, testing::ValuesIn(corpusFiles()), testName);

TEST(SheetCorpusDifferences, StrictOpenXmlReadsLikeItsTransitionalTwin) {
    // openpyxl loads no sheet of the Strict file; its transitional twin holds the same cells.
    const QString twin = QStringLiteral("excel-win-hidden-sheets-transitional.xlsx");
    expectWorkbook(twin, expectation(twin),
                   corpusPath(QStringLiteral("excel-win-hidden-sheets-strict.xlsx")));
}

TEST(SheetCorpusDifferences, EscapedCarriageReturnIsDecoded) {
    const auto book =
        kestrel::openWorkbook(corpusPath(QStringLiteral("unknown-writer-inline-x000D.xlsx")));
    EXPECT_EQ(QStringLiteral("ABC\r\nDEF"), book->cell(1, 1, 1).text);
    EXPECT_EQ(1, book->lastRow(1));
}

TEST(SheetCorpusDifferences, DateCellsOfAWriterOpenpyxlCannotRead) {
    // openpyxl fails on this valid file; the values are LibreOffice's reading of it.
    const auto book =
        kestrel::openWorkbook(corpusPath(QStringLiteral("node-xlsx-stream-d-date-cells.xlsx")));
    EXPECT_EQ(QStringLiteral("String"), book->cell(1, 1, 1).text);
    EXPECT_EQ(QStringLiteral("てすと"), book->cell(1, 1, 2).text);
    EXPECT_EQ(1.0, book->cell(1, 2, 2).number);
    EXPECT_TRUE(book->cell(1, 4, 2).boolean);
    const CellValue date = book->cell(1, 5, 2);
    ASSERT_EQ(CellValue::Type::DateTime, date.type);
    EXPECT_EQ(QDate(2014, 2, 14), date.date);
    EXPECT_EQ(QTime(8, 27, 49), date.time); // 08:27:48.765, to the second as Excel shows it
    EXPECT_EQ(QStringLiteral("String1"), book->cell(1, 11, 2).text);
}

TEST(SheetCorpusDifferences, MissingWorksheetPartIsAnErrorNamingIt) {
    // openpyxl skips the missing sheet and reads the others: worksheet 2 would then be another
    // sheet than the template's, so this reader refuses the file.
    try {
        kestrel::openWorkbook(corpusPath(QStringLiteral("broken-missing-sheet-part.xlsx")));
        FAIL() << "opened";
    } catch (const kestrel::WorkbookError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("The file is damaged or incomplete")));
        EXPECT_TRUE(error.message().contains(QStringLiteral("xl/worksheets/sheet2.xml")));
    }
}

TEST(SheetCorpusDifferences, XlsUnderAnXlsxNameIsReadByContent) {
    const auto renamed =
        kestrel::openWorkbook(corpusPath(QStringLiteral("broken-xls-renamed.xlsx")));
    const auto original = kestrel::openWorkbook(kestrel::test::xlsCorpusDir() +
                                                QStringLiteral("/cjk-zh-template-dates-times.xls"));
    ASSERT_EQ(original->lastRow(1), renamed->lastRow(1));
    EXPECT_EQ(QStringLiteral("性别"), renamed->cell(1, 1, 2).text);
    for (int row = 1; row <= original->lastRow(1); ++row) {
        for (int column = 1; column <= 8; ++column)
            EXPECT_EQ(kestrel::cellText(*original, 1, row, column, QLocale::c()),
                      kestrel::cellText(*renamed, 1, row, column, QLocale::c()));
    }
}

} // namespace
