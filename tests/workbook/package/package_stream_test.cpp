// The streaming parts of the package reader: the XML parser fed in blocks of any size, the ZIP
// layouts writers use, and what a package may inflate to.
#include "package_test_builder.h"
#include "text/errors.h"
#include "workbook/package/package_xml.h"
#include "workbook/package/package_zip.h"
#include "workbook/workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

using kestrel::CellValue;
using namespace kestrel::package;
using namespace kestrel::test;

namespace {

// Writes what the parser reports: <name a=value ...>, </name>, and [text] for each run of text
// however many pieces it came in.
class Recorder : public XmlEvents {
public:
    void start(std::string_view name, const XmlAttributes& attributes) override {
        flush();
        log.append("<").append(name);
        for (const std::string_view attribute : {"x", "a", "b", "r"}) {
            if (attributes.has(attribute))
                log.append(" ").append(attribute).append("=").append(attributes.get(attribute));
        }
        log.append(">");
    }
    void end(std::string_view name) override {
        flush();
        log.append("</").append(name).append(">");
    }
    void text(std::string_view value) override { pending += value; }
    void flush() {
        if (!pending.empty())
            log.append("[").append(pending).append("]");
        pending.clear();
    }
    std::string log;
    std::string pending;
};

// Parses the document fed in blocks of `block` bytes.
std::string eventsOf(std::string_view xml, std::size_t block) {
    Recorder recorder;
    XmlParser parser(recorder);
    for (std::size_t at = 0; at < xml.size(); at += block) {
        const std::size_t size = std::min(block, xml.size() - at);
        std::memcpy(parser.space(size), xml.data() + at, size);
        parser.parse(size, false);
    }
    parser.space(0);
    parser.parse(0, true);
    recorder.flush();
    return recorder.log;
}

Fault faultOf(std::string_view xml, std::size_t block) {
    try {
        eventsOf(xml, block);
    } catch (const PackageError& error) {
        return error.fault;
    }
    ADD_FAILURE() << "parsed: " << xml;
    return Fault::NotSpreadsheet;
}

TEST(XmlParser, BlocksOfAnySizeGiveTheSameEvents) {
    const std::string_view xml = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                 "<!DOCTYPE x:root [ <!ENTITY e \"y\"> ]><!-- a > b -->"
                                 "<x:root xmlns:x=\"u\" a='1 &amp; 2' b=\"l1\r\nl2\tend\">"
                                 "<x:c r=\"A1\">t&lt;&#x9752;&#38593;&#xD;\r\nz\r</x:c><v/>"
                                 "<t><![CDATA[<a>&amp;\r\n]]></t><?pi x?>tail"
                                 "<long a=\""
                                 "0123456789012345678901234567890123456789\"/>"
                                 "</x:root>\n after the root <!-- -->";
    const std::string expected =
        "<root x=u a=1 & 2 b=l1 l2 end><c r=A1>[t<青雁\r\nz\n]</c><v></v>"
        "<t>[<a>&amp;\n]</t>[tail]<long a=0123456789012345678901234567890123456789></long>"
        "</root>";
    for (const std::size_t block : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(7),
                                    std::size_t(64), xml.size()})
        EXPECT_EQ(expected, eventsOf(xml, block)) << "blocks of " << block;
}

TEST(XmlParser, RefusesWhatIsNotWellFormed) {
    const std::string_view damaged[] = {
        "",                                           // no root element
        "<a><b></a></b>",                             // not the element that is open
        "<a>",                                        // cut short
        "</a>",                                       // closes what never opened
        "<a>&nbsp;</a>",                              // an entity nobody declared
        "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>",   // nor there: no declaration is read
        "<a>x &amp</a>",                              // a reference without its ';'
        "<a>&#0;</a>",                                // no character
        "<a>&#xD800;</a>",                            // half of a pair
        "<a>&#x110000;</a>",                          // past Unicode
        "<a>&#x4G;</a>",                              // no hexadecimal number
        "<a b=c/>",                                   // a value without quotes
        "<a b></a>",                                  // an attribute without a value
        "<a b=\"<\"/>",                               // '<' in a value
        "<a/ >",                                      // '/' not closing the tag
        "<a><!-- x</a>",                              // a comment cut short
        "<a><![CDATA[x</a>",                          // a CDATA section cut short
        "<a><!ELEMENT b></a>",                        // a declaration inside the root
        std::string_view("\xFF\xFE<\0a\0/\0>\0", 10), // UTF-16
    };
    for (const std::string_view xml : damaged) {
        for (const std::size_t block : {std::size_t(1), std::max<std::size_t>(xml.size(), 1)})
            EXPECT_EQ(Fault::Damaged, faultOf(xml, block)) << xml << " in blocks of " << block;
    }
    // One tag may not take more memory than any spreadsheet's: a bomb inside an attribute.
    const std::string huge = "<a b=\"" + std::string(kMaxPieceBytes + (1 << 20), 'x') + "\"/>";
    EXPECT_EQ(Fault::TooLarge, faultOf(huge, 1 << 20));
}

const char* const kSheetData = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>青雁</t></is></c>"
                               "<c r=\"B1\"><v>12.5</v></c></row>"
                               "<row r=\"70000\"><c r=\"C70000\" t=\"b\"><v>1</v></c></row>";

XlsxLayout oneSheet() {
    XlsxLayout layout;
    layout.sheets.append({QStringLiteral("Sheet1"), kSheetData});
    return layout;
}

TEST(PackageZip, WritersLayoutsReadAlike) {
    for (const ZipLayout& zip : {ZipLayout{}, ZipLayout{true}, ZipLayout{true, true},
                                 ZipLayout{true, false, true}, ZipLayout{false, true, true}}) {
        SCOPED_TRACE(testing::Message() << "deflate " << zip.deflate << " zip64 " << zip.zip64
                                        << " descriptor " << zip.descriptor);
        const auto book =
            kestrel::openWorkbookFromBytes(xlsxPackage(oneSheet(), zip), QStringLiteral("a.xlsx"));
        EXPECT_EQ(QStringLiteral("青雁"), book->cell(1, 1, 1).text);
        EXPECT_EQ(12.5, book->cell(1, 1, 2).number);
        EXPECT_TRUE(book->cell(1, 70000, 3).boolean);
        EXPECT_EQ(70000, book->lastRow(1));
    }
}

// The directory entry of the part, or -1.
qsizetype directoryEntry(const QByteArray& zip, const QByteArray& part) {
    for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0;
         at = zip.indexOf("PK\x01\x02", at + 1)) {
        if (zip.mid(at + 46, part.size()) == part)
            return at;
    }
    return -1;
}

QString refusal(const QByteArray& bytes) {
    try {
        kestrel::openWorkbookFromBytes(bytes, QStringLiteral("坏模板.xlsx"));
    } catch (const kestrel::WorkbookError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("坏模板.xlsx"))) << error.what();
        return error.message();
    }
    ADD_FAILURE() << "opened";
    return {};
}

TEST(PackageZip, DataThatDoesNotInflateToWhatTheDirectorySaysIsDamage) {
    const QByteArray good = xlsxPackage(oneSheet(), ZipLayout{true});
    const qsizetype entry = directoryEntry(good, "xl/worksheets/sheet1.xml");
    ASSERT_GE(entry, 0);
    const quint32 compressed = qFromLittleEndian<quint32>(good.constData() + entry + 20);
    const quint32 size = qFromLittleEndian<quint32>(good.constData() + entry + 24);
    const struct {
        const char* what;
        int field;
        quint32 value;
    } damage[] = {
        {"checksum", 16, qFromLittleEndian<quint32>(good.constData() + entry + 16) ^ 1},
        {"size one short", 24, size - 1},
        {"size one over", 24, size + 1},
        {"data cut short", 20, compressed / 2},
    };
    const QString named =
        QStringLiteral("The file is damaged or incomplete (xl/worksheets/sheet1.xml)");
    for (const auto& [what, field, value] : damage) {
        QByteArray bad = good;
        qToLittleEndian<quint32>(value, bad.data() + entry + field);
        EXPECT_TRUE(refusal(bad).contains(named)) << what;
    }
    QByteArray encrypted = good;
    encrypted[entry + 8] = char(encrypted[entry + 8] | 1);
    EXPECT_TRUE(refusal(encrypted).contains(
        QStringLiteral("The workbook is protected by a password and cannot be read")));
}

TEST(PackageZip, PartsReadTogetherMayNotInflateBeyondTheRatio) {
    // Every sheet of the workbook names the same part: each is small, but reading them all
    // would work through hundreds of times the file's size.
    QByteArray rows; // formatted blanks: nothing is kept of them
    for (int row = 1; row <= 6000; ++row)
        rows += "<row r=\"" + QByteArray::number(row) + "\"><c s=\"1\"/></row>";
    QByteArray sheets;
    for (int i = 1; i <= 1000; ++i)
        sheets += "<sheet name=\"s" + QByteArray::number(i) + "\" r:id=\"rId1\"/>";
    const QByteArray relationships =
        "<Relationships><Relationship Id=\"rId1\" Type=\"http://x/worksheet\" "
        "Target=\"sheet.xml\"/></Relationships>";
    const QByteArray zip =
        storedZip({{QStringLiteral("[Content_Types].xml"), "<Types/>"},
                   {QStringLiteral("xl/workbook.xml"),
                    "<workbook><sheets>" + sheets + "</sheets></workbook>"},
                   {QStringLiteral("xl/_rels/workbook.xml.rels"), relationships},
                   {QStringLiteral("xl/sheet.xml"),
                    "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"}});
    ASSERT_GT(1000 * rows.size(),
              qsizetype(kMaxInflateRatio) * zip.size() + qsizetype(kInflateAllowance));
    EXPECT_TRUE(
        refusal(zip).contains(QStringLiteral("The file is too large to be a template workbook")));
}

TEST(PackageZip, AFileOfAnySizeIsReadPartByPart) {
    // The archive starts past the 256 MB an .xls file may take; the file is sparse.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("大.xlsx"));
    const qint64 offset = qint64(300) << 20;
    const QByteArray zip = xlsxPackage(oneSheet(), ZipLayout{true, false, false, offset});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.write(zip.left(4)) == 4); // opened by its content: a ZIP's first bytes
    ASSERT_TRUE(file.seek(offset));
    ASSERT_EQ(zip.size(), file.write(zip));
    file.close();
    const auto book = kestrel::openWorkbook(path);
    EXPECT_EQ(QStringLiteral("青雁"), book->cell(1, 1, 1).text);
    EXPECT_EQ(70000, book->lastRow(1));
}

} // namespace
