// Files that are not sound workbooks: each must give a clean error naming the file, never a
// crash, a hang or a wrong reading.
#include "test_paths.h"
#include "text/errors.h"
#include "workbook/workbook.h"
#include "xls_test_builder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrel::test;

namespace {

const QString kDamaged = QStringLiteral("The file is damaged or incomplete");
const QString kNotXls = QStringLiteral("an Excel 97-2003 (.xls) workbook");

QString openError(const QByteArray& bytes) {
    try {
        kestrel::openXlsWorkbookFromBytes(bytes, QStringLiteral("坏文件.xls"));
    } catch (const kestrel::WorkbookError& error) {
        EXPECT_TRUE(error.message().startsWith(
            QStringLiteral("Cannot open the template file 坏文件.xls: ")))
            << error.what();
        return error.message();
    }
    ADD_FAILURE() << "the file opened";
    return {};
}

QByteArray soundWorkbook() {
    WorkbookSpec layout;
    layout.globals = xfRecords({0});
    layout.sheets.push_back({QStringLiteral("Sheet1"), 0, numberCell(0, 0, 1.0)});
    return compoundFile(workbookStream(layout));
}

void putLe32(QByteArray& bytes, qsizetype offset, std::uint32_t value) {
    bytes.replace(offset, 4, le32(value));
}

TEST(XlsDamage, MissingAndUnreadableFiles) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("青雁充值卡模板.xls"));
    try {
        kestrel::openXlsWorkbook(missing);
        FAIL();
    } catch (const kestrel::WorkbookError& error) {
        EXPECT_EQ(QStringLiteral("Cannot open the template file %1: The file does not exist")
                      .arg(QDir::toNativeSeparators(missing)),
                  error.message());
    }
    EXPECT_THROW(kestrel::openXlsWorkbook(dir.path()), kestrel::WorkbookError);
}

TEST(XlsDamage, NotAWorkbook) {
    EXPECT_TRUE(openError({}).contains(kNotXls));
    EXPECT_TRUE(openError(QByteArray("卡号,姓名\r\n1,张三\r\n")).contains(kNotXls));
    EXPECT_TRUE(
        openError(QByteArray("PK\x03\x04 rest of a zip")).contains(QStringLiteral(".xlsx")));
    // A compound file without a workbook stream, such as a Word document.
    WorkbookSpec layout;
    layout.sheets.push_back({QStringLiteral("S"), 0, {}});
    EXPECT_TRUE(openError(compoundFile(workbookStream(layout), QStringLiteral("WordDocument")))
                    .contains(kNotXls));
    // BIFF4 and older.
    EXPECT_TRUE(openError(record(0x0409, le16(0) + le16(0x10) + le16(0)))
                    .contains(QStringLiteral("Excel 4.0")));
}

TEST(XlsDamage, PasswordProtected) {
    WorkbookSpec layout;
    layout.globals = record(0x002F, le16(1) + QByteArray(52, '\0'));
    layout.sheets.push_back({QStringLiteral("S"), 0, {}});
    EXPECT_TRUE(
        openError(compoundFile(workbookStream(layout))).contains(QStringLiteral("password")));
}

TEST(XlsDamage, TruncatedAtEveryLength) {
    const QByteArray sound = soundWorkbook();
    for (qsizetype length = 1; length < sound.size(); length += 97) {
        EXPECT_FALSE(openError(sound.left(length)).isEmpty()) << length;
    }
}

TEST(XlsDamage, FatChainLoopIsDetected) {
    QByteArray bytes = soundWorkbook();
    // The stream starts in sector 2; make its second sector point back to the first.
    putLe32(bytes, 512 + 4 * 3, 2);
    EXPECT_TRUE(openError(bytes).contains(kDamaged));
}

TEST(XlsDamage, AbsurdHeaderCounts) {
    QByteArray fat = soundWorkbook();
    putLe32(fat, 0x2C, 0x7FFFFFFF); // FAT sectors
    EXPECT_TRUE(openError(fat).contains(kDamaged));
    QByteArray shift = soundWorkbook();
    shift.replace(0x1E, 2, le16(31));
    EXPECT_TRUE(openError(shift).contains(kDamaged));
    QByteArray size = soundWorkbook();
    putLe32(size, 512 * 2 + 128 + 0x78, 0xFFFFFF00); // the stream's size
    EXPECT_TRUE(openError(size).contains(kDamaged));
}

TEST(XlsDamage, DirectoryTreeLoopDoesNotHang) {
    QByteArray bytes = soundWorkbook();
    // Make the stream entry its own left sibling and rename it so that no stream matches.
    const qsizetype entry = 512 * 2 + 128;
    putLe32(bytes, entry + 0x44, 1);
    bytes[entry] = 'X';
    EXPECT_TRUE(openError(bytes).contains(kNotXls));
}

TEST(XlsDamage, RecordsBeyondTheirStream) {
    // A record claiming more bytes than the stream holds; a cell record too short for its kind;
    // a shared-string index past the table; a sheet without its EOF.
    WorkbookSpec longRecord;
    longRecord.globals = xfRecords({0});
    longRecord.sheets.push_back(
        {QStringLiteral("S"), 0, le16(0x0203) + le16(2000) + QByteArray(10, '\0')});
    QByteArray stream = workbookStream(longRecord);
    EXPECT_TRUE(openError(stream).contains(kDamaged));

    WorkbookSpec shortCell;
    shortCell.globals = xfRecords({0});
    shortCell.sheets.push_back({QStringLiteral("S"), 0, record(0x0203, cellHeader(0, 0))});
    EXPECT_TRUE(openError(compoundFile(workbookStream(shortCell))).contains(kDamaged));

    WorkbookSpec badIndex;
    badIndex.globals = xfRecords({0});
    badIndex.sheets.push_back({QStringLiteral("S"), 0, labelSstCell(0, 0, 5)});
    EXPECT_TRUE(openError(compoundFile(workbookStream(badIndex))).contains(kDamaged));

    WorkbookSpec noEof;
    noEof.globals = xfRecords({0});
    noEof.sheets.push_back({QStringLiteral("S"), 0, numberCell(0, 0, 1.0)});
    QByteArray cut = workbookStream(noEof);
    cut.chop(4);
    EXPECT_TRUE(openError(cut).contains(kDamaged));
}

TEST(XlsDamage, SheetEntriesPointingIntoEachOtherAreRejected) {
    // Many sheet entries all pointing at one substream would read it again and again.
    WorkbookSpec layout;
    layout.globals = xfRecords({0});
    layout.sheets.push_back({QStringLiteral("S"), 0, numberCell(0, 0, 1.0)});
    QByteArray stream = workbookStream(layout);
    const QByteArray boundSheet = stream.mid(stream.indexOf(le16(0x0085) + le16(10)), 14);
    ASSERT_EQ(14, boundSheet.size());
    const qsizetype at = stream.indexOf(boundSheet);
    stream.insert(at, boundSheet.repeated(50));
    // The substream moved by the inserted entries; point every entry at its new place.
    const std::uint32_t offset = std::uint32_t(stream.lastIndexOf(le16(0x0809)));
    for (int i = 0; i <= 50; ++i) {
        putLe32(stream, at + 14 * i + 4, offset);
    }
    EXPECT_TRUE(openError(stream).contains(kDamaged));
}

} // namespace
