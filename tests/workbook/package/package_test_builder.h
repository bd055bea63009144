#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace kestrel::test {

using ZipEntries = QList<QPair<QString, QByteArray>>;

// How the entries of an archive are written.
struct ZipLayout {
    bool deflate = false;    // raw deflate, as most writers compress
    bool zip64 = false;      // sizes and offsets in ZIP64 extra fields only
    bool descriptor = false; // sizes and checksum after the data, not in the entry's header
    qint64 offset = 0;       // where the archive will start in its file
};
QByteArray zipArchive(const ZipEntries& entries, const ZipLayout& layout);
// A ZIP archive of the entries, stored without compression.
QByteArray storedZip(const ZipEntries& entries);

// An .xlsx package: the workbook part lists the sheets (name and part) in order; each sheet
// part is given whole. Styles and shared strings are optional.
struct XlsxLayout {
    struct Sheet {
        QString name;
        QByteArray sheetData; // the content of <sheetData>, or a whole part when `whole`
        bool chart = false;   // a chart sheet
    };
    QList<Sheet> sheets;
    QByteArray workbookPr;     // attributes of <workbookPr>, e.g. date1904="1"
    QByteArray styles;         // the content of <styleSheet>
    QStringList sharedStrings; // each becomes one <si><t>
};
ZipEntries xlsxEntries(const XlsxLayout& layout);
QByteArray xlsxPackage(const XlsxLayout& layout, const ZipLayout& zip = {});

// An .ods package around the content of <office:spreadsheet>.
QByteArray odsPackage(const QByteArray& spreadsheet, const QByteArray& manifestExtra = {});

} // namespace kestrel::test
