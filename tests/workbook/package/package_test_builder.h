#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace kestrel::test {

using ZipEntries = QList<QPair<QString, QByteArray>>;

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
QByteArray xlsxPackage(const XlsxLayout& layout);

// An .ods package around the content of <office:spreadsheet>.
QByteArray odsPackage(const QByteArray& spreadsheet, const QByteArray& manifestExtra = {});

} // namespace kestrel::test
