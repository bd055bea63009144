#include "package_test_builder.h"

#include <QtEndian>
#include <array>

namespace kestrel::test {
namespace {

quint32 crc32(const QByteArray& data) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : data)
        crc = table[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

QByteArray le16(quint16 v) {
    QByteArray out(2, '\0');
    qToLittleEndian(v, out.data());
    return out;
}
QByteArray le32(quint32 v) {
    QByteArray out(4, '\0');
    qToLittleEndian(v, out.data());
    return out;
}
QByteArray le64(quint64 v) {
    QByteArray out(8, '\0');
    qToLittleEndian(v, out.data());
    return out;
}

const QByteArray kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

} // namespace

QByteArray zipArchive(const ZipEntries& entries, const ZipLayout& layout) {
    QByteArray body;
    QByteArray directory;
    for (const auto& [name, data] : entries) {
        const QByteArray file = name.toUtf8();
        // qCompress gives a zlib stream after a 4-byte length: its deflate data lies between
        // the 2-byte header and the 4-byte checksum.
        const QByteArray packed = layout.deflate ? qCompress(data, 9).chopped(4).mid(6) : data;
        const quint64 offset = quint64(layout.offset + body.size());
        const quint32 crc = crc32(data);
        const quint32 max32 = 0xFFFFFFFFu;
        const QByteArray sizes = layout.zip64
                                     ? le32(max32) + le32(max32)
                                     : le32(quint32(packed.size())) + le32(quint32(data.size()));
        const QByteArray head = le16(layout.zip64 ? 45 : 20) +
                                le16(layout.descriptor ? 0x0808 : 0x0800) +
                                le16(layout.deflate ? 8 : 0) + le16(0) + le16(0x21);
        const QByteArray localExtra =
            layout.zip64
                ? le16(1) + le16(16) + le64(quint64(data.size())) + le64(quint64(packed.size()))
                : QByteArray();
        const QByteArray directoryExtra = layout.zip64
                                              ? le16(1) + le16(24) + le64(quint64(data.size())) +
                                                    le64(quint64(packed.size())) + le64(offset)
                                              : QByteArray();
        body += le32(0x04034b50) + head +
                (layout.descriptor ? QByteArray(12, '\0') : le32(crc) + sizes) +
                le16(quint16(file.size())) + le16(quint16(localExtra.size())) + file + localExtra +
                packed;
        if (layout.descriptor)
            body += le32(0x08074b50) + le32(crc) + le32(quint32(packed.size())) +
                    le32(quint32(data.size()));
        directory += le32(0x02014b50) + le16(20) + head + le32(crc) + sizes +
                     le16(quint16(file.size())) + le16(quint16(directoryExtra.size())) + le16(0) +
                     le16(0) + le16(0) + le32(0) + le32(layout.zip64 ? max32 : quint32(offset)) +
                     file + directoryExtra;
    }
    return body + directory + le32(0x06054b50) + le16(0) + le16(0) + le16(quint16(entries.size())) +
           le16(quint16(entries.size())) + le32(quint32(directory.size())) +
           le32(quint32(layout.offset + body.size())) + le16(0);
}

QByteArray storedZip(const ZipEntries& entries) {
    return zipArchive(entries, {});
}

ZipEntries xlsxEntries(const XlsxLayout& layout) {
    ZipEntries entries;
    entries.append({QStringLiteral("[Content_Types].xml"),
                    kXmlHead + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                               "content-types\"/>"});
    entries.append({QStringLiteral("_rels/.rels"),
                    kXmlHead +
                        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
                        "2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
                        kRelNs + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"});
    QByteArray sheets;
    QByteArray relations;
    for (int i = 0; i < layout.sheets.size(); ++i) {
        const auto& sheet = layout.sheets[i];
        const QByteArray id = "rId" + QByteArray::number(i + 10);
        const QByteArray part = (sheet.chart ? "chartsheets/sheet" : "worksheets/sheet") +
                                QByteArray::number(i + 1) + ".xml";
        sheets += "<sheet name=\"" + sheet.name.toUtf8() + "\" sheetId=\"" +
                  QByteArray::number(i + 1) + "\" r:id=\"" + id + "\"/>";
        relations += "<Relationship Id=\"" + id + "\" Type=\"" + kRelNs +
                     (sheet.chart ? "/chartsheet" : "/worksheet") + "\" Target=\"" + part + "\"/>";
        const QByteArray content = sheet.chart ? kXmlHead + "<chartsheet xmlns=\"" + kMain + "\"/>"
                                               : kXmlHead + "<worksheet xmlns=\"" + kMain +
                                                     "\"><sheetData>" + sheet.sheetData +
                                                     "</sheetData></worksheet>";
        entries.append({QStringLiteral("xl/") + QString::fromLatin1(part), content});
    }
    if (!layout.styles.isEmpty()) {
        relations +=
            "<Relationship Id=\"rId1\" Type=\"" + kRelNs + "/styles\" Target=\"styles.xml\"/>";
        entries.append(
            {QStringLiteral("xl/styles.xml"),
             kXmlHead + "<styleSheet xmlns=\"" + kMain + "\">" + layout.styles + "</styleSheet>"});
    }
    if (!layout.sharedStrings.isEmpty()) {
        relations += "<Relationship Id=\"rId2\" Type=\"" + kRelNs +
                     "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
        QByteArray items;
        for (const QString& text : layout.sharedStrings)
            items += "<si><t xml:space=\"preserve\">" + text.toUtf8() + "</t></si>";
        entries.append({QStringLiteral("xl/sharedStrings.xml"),
                        kXmlHead + "<sst xmlns=\"" + kMain + "\">" + items + "</sst>"});
    }
    entries.append({QStringLiteral("xl/workbook.xml"),
                    kXmlHead + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRelNs +
                        "\"><workbookPr " + layout.workbookPr + "/><sheets>" + sheets +
                        "</sheets></workbook>"});
    entries.append({QStringLiteral("xl/_rels/workbook.xml.rels"),
                    kXmlHead +
                        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
                        "2006/relationships\">" +
                        relations + "</Relationships>"});
    return entries;
}

QByteArray xlsxPackage(const XlsxLayout& layout, const ZipLayout& zip) {
    return zipArchive(xlsxEntries(layout), zip);
}

QByteArray odsPackage(const QByteArray& spreadsheet, const QByteArray& manifestExtra) {
    const QByteArray content =
        kXmlHead +
        "<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" "
        "office:version=\"1.2\"><office:body><office:spreadsheet>" +
        spreadsheet + "</office:spreadsheet></office:body></office:document-content>";
    const QByteArray manifest =
        kXmlHead +
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"application/"
        "vnd.oasis.opendocument.spreadsheet\"/><manifest:file-entry "
        "manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\">" +
        manifestExtra + "</manifest:file-entry></manifest:manifest>";
    return storedZip(
        {{QStringLiteral("mimetype"), QByteArray("application/vnd.oasis.opendocument.spreadsheet")},
         {QStringLiteral("content.xml"), content},
         {QStringLiteral("META-INF/manifest.xml"), manifest}});
}

} // namespace kestrel::test
