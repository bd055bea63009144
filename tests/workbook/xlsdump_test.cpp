// kestrel-xlsdump as IT staff run it: its output lines, escapes and exit codes.
#include "test_paths.h"
#include "text/textrules.h"
#include "workbook/workbook.h"
#include "xls_test_builder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrel::test;

namespace {

struct DumpResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

DumpResult dump(const QStringList& arguments,
                const QString& locale = QStringLiteral("en_US.UTF-8")) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    process.setProcessEnvironment(env);
    process.start(binDir() + QStringLiteral("/kestrel-xlsdump"), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray sampleWorkbook() {
    WorkbookSpec layout;
    layout.globals = xfRecords({0, 14});
    QByteArray strings = le32(1) + le32(1) + unicodeString(QStringLiteral("a\tb\r\nc\\d 青雁"));
    layout.afterSheets = record(0x00FC, strings);
    QByteArray first = labelSstCell(1, 0, 0) + numberCell(1, 2, 12.5) + blankCell(1, 3) +
                       numberCell(2, 1, 45000, 1) + boolErrCell(2, 0, 1, false) +
                       boolErrCell(3, 4, 0x07, true) + formulaCell(3, 0, formulaSpecialResult(3)) +
                       blankCell(5, 0);
    layout.sheets.push_back({QStringLiteral("One"), 0, first});
    layout.sheets.push_back({QStringLiteral("Two"), 0, numberCell(0, 0, 100)});
    return compoundFile(workbookStream(layout));
}

TEST(XlsDump, PrintsEveryValueCellInRowThenColumnOrder) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("样本.xls"), sampleWorkbook());
    const DumpResult run = dump({path});
    EXPECT_EQ(0, run.exitCode) << run.err.constData();
    EXPECT_EQ(QByteArray("rows\t6\n"
                         "2\t1\ttext\ta\\tb\\r\\nc\\\\d 青雁\n"
                         "2\t3\tnumber\t12.5\n"
                         "3\t1\tboolean\tTrue\n"
                         "3\t2\tdate\t3/15/2023\n"
                         "4\t1\ttext\t\n"
                         "4\t5\terror\t#DIV/0!\n"),
              run.out);
    EXPECT_TRUE(run.err.isEmpty());

    const DumpResult second = dump({path, QStringLiteral("2")});
    EXPECT_EQ(0, second.exitCode);
    EXPECT_EQ(QByteArray("rows\t1\n1\t1\tnumber\t100\n"), second.out);
}

// Enough rows for the dump to split them between two threads: every line in order, each value
// as the cell-to-text rule gives it.
TEST(XlsDump, ManyRowsComeOutInOrderInEveryLocale) {
    constexpr int kRows = 9001;
    const std::vector<QString> texts{QStringLiteral("青雁"), QStringLiteral("a\\b"),
                                     QStringLiteral("Ω")};
    WorkbookSpec layout;
    layout.globals = xfRecords({0, 22});
    QByteArray strings = le32(3) + le32(3);
    for (const QString& text : texts)
        strings += unicodeString(text);
    layout.afterSheets = record(0x00FC, strings);
    QByteArray cells;
    for (int row = 0; row < kRows; ++row) {
        const auto r = std::uint16_t(row);
        cells += numberCell(r, 0, row + 0.25) + labelSstCell(r, 1, std::uint32_t(row % 3)) +
                 numberCell(r, 4, 45000 + row / 7 + (row % 86400) / 86400.0, 1);
    }
    layout.sheets.push_back({QStringLiteral("Big"), 0, cells});
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, QStringLiteral("big.xls"), compoundFile(workbookStream(layout)));
    const auto book = kestrel::openXlsWorkbook(path);
    for (const char* name : {"C", "de_DE.UTF-8", "zh_CN.UTF-8"}) {
        const QLocale locale(QString::fromLatin1(name).section(QLatin1Char('.'), 0, 0));
        QByteArray expected = "rows\t" + QByteArray::number(kRows) + '\n';
        for (int row = 1; row <= kRows; ++row) {
            const QByteArray prefix = QByteArray::number(row) + '\t';
            expected += prefix + "1\tnumber\t" +
                        kestrel::cellToText(book->cell(1, row, 1), locale).toUtf8() + '\n';
            expected += prefix + "2\ttext\t" +
                        QString(texts[std::size_t(row - 1) % 3])
                            .replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                            .toUtf8() +
                        '\n';
            expected += prefix + "5\tdate\t" +
                        kestrel::cellToText(book->cell(1, row, 5), locale).toUtf8() + '\n';
        }
        const DumpResult run = dump({path}, QString::fromLatin1(name));
        EXPECT_EQ(0, run.exitCode) << run.err.constData();
        EXPECT_TRUE(run.out == expected) << name;
    }
}

TEST(XlsDump, BadFilesAndMissingSheetsExitWithTwo) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("book.xls"), sampleWorkbook());
    const DumpResult missingSheet = dump({path, QStringLiteral("3")});
    EXPECT_EQ(2, missingSheet.exitCode);
    EXPECT_TRUE(missingSheet.out.isEmpty());
    EXPECT_TRUE(QString::fromUtf8(missingSheet.err).contains(QStringLiteral("has no worksheet 3")));

    const QString csv = writeFile(dir, QStringLiteral("csv.xls"), QByteArray("a,b\n1,2\n"));
    const DumpResult notXls = dump({csv});
    EXPECT_EQ(2, notXls.exitCode);
    EXPECT_TRUE(QString::fromUtf8(notXls.err)
                    .contains(QStringLiteral("Not an Excel 97-2003 (.xls) workbook")));

    EXPECT_EQ(2, dump({dir.filePath(QStringLiteral("none.xls"))}).exitCode);
}

TEST(XlsDump, NamesTheCodePageItAssumedForOldText) {
    // An Excel 5/95 file without a CODEPAGE record: "会员" in GBK.
    const QByteArray gbk("\xBB\xE1\xD4\xB1");
    WorkbookSpec layout;
    layout.biff8 = false;
    layout.globals = xfRecords({0});
    layout.sheets.push_back(
        {QStringLiteral("Sheet1"), 0, record(0x0204, cellHeader(0, 0) + le16(4) + gbk)});
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, QStringLiteral("old.xls"), compoundFile(workbookStream(layout)));

    const DumpResult chinese = dump({path}, QStringLiteral("zh_CN.UTF-8"));
    EXPECT_EQ(0, chinese.exitCode);
    EXPECT_EQ(QByteArray("rows\t1\n1\t1\ttext\t会员\n"), chinese.out);
    EXPECT_TRUE(QString::fromUtf8(chinese.err).contains(QStringLiteral("代码页 936")))
        << chinese.err.constData();
    const DumpResult american = dump({path});
    EXPECT_EQ(QByteArray("rows\t1\n1\t1\ttext\t»áÔ±\n"), american.out);
    EXPECT_TRUE(QString::fromUtf8(american.err).contains(QStringLiteral("code page 1252")));

    layout.globals = record(0x0042, le16(936)) + layout.globals;
    const QString named =
        writeFile(dir, QStringLiteral("named.xls"), compoundFile(workbookStream(layout)));
    const DumpResult withRecord = dump({named});
    EXPECT_EQ(QByteArray("rows\t1\n1\t1\ttext\t会员\n"), withRecord.out);
    EXPECT_TRUE(withRecord.err.isEmpty()) << withRecord.err.constData();
}

TEST(XlsDump, UsageErrorsExitWith64) {
    EXPECT_EQ(64, dump({}).exitCode);
    EXPECT_EQ(64, dump({QStringLiteral("a.xls"), QStringLiteral("x")}).exitCode);
    EXPECT_EQ(64,
              dump({QStringLiteral("a.xls"), QStringLiteral("1"), QStringLiteral("2")}).exitCode);
}

} // namespace
