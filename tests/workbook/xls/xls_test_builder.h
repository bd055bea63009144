#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Builds .xls files byte by byte for the reader's tests: BIFF records, BIFF5 and BIFF8
// workbook streams and the OLE2 compound file around them.
namespace kestrel::test {

QByteArray le16(std::uint16_t value);
QByteArray le32(std::uint32_t value);
QByteArray le64(double value);

QByteArray record(std::uint16_t id, const QByteArray& body);
// The cell header every cell record starts with (0-based row and column).
QByteArray cellHeader(std::uint16_t row, std::uint16_t column, std::uint16_t xf = 0);

// BIFF8 XLUnicodeString with a 16-bit count, as UTF-16 (or compressed when latin1 is set).
QByteArray unicodeString(const QString& text, bool latin1 = false);

QByteArray numberCell(std::uint16_t row, std::uint16_t column, double value, std::uint16_t xf = 0);
QByteArray labelSstCell(std::uint16_t row, std::uint16_t column, std::uint32_t index);
QByteArray blankCell(std::uint16_t row, std::uint16_t column);
QByteArray boolErrCell(std::uint16_t row, std::uint16_t column, std::uint8_t value, bool isError);
// A FORMULA record with its cached result: 8 bytes as stored. id 0x0206 and 0x0406 are the
// FORMULA ids of Excel 3 and 4, with the same layout.
QByteArray formulaCell(std::uint16_t row, std::uint16_t column, const QByteArray& result,
                       std::uint16_t xf = 0, std::uint16_t id = 0x0006);
QByteArray formulaSpecialResult(std::uint8_t type, std::uint8_t value = 0);

struct SheetSpec {
    QString name;
    std::uint8_t type = 0; // BOUNDSHEET sheet type: 0 worksheet, 1 macro, 2 chart, 6 module
    QByteArray records;    // the records between the sheet's BOF and EOF
    std::uint16_t substream = 0x0010;
};

struct WorkbookSpec {
    bool biff8 = true;
    QByteArray globals;     // records after BOF and before the BOUNDSHEET records
    QByteArray afterSheets; // records after the BOUNDSHEET records (SST and the like)
    std::vector<SheetSpec> sheets;
    // BIFF5: the sheet names' bytes in the workbook's code page, one per sheet when given.
    std::vector<QByteArray> biff5Names;
};

// A whole workbook stream: globals BOF ... EOF, then each sheet's substream.
QByteArray workbookStream(const WorkbookSpec& layout);
// XF records: XF n shows number format formatIds[n].
QByteArray xfRecords(const std::vector<std::uint16_t>& formatIds);
QByteArray formatRecord(std::uint16_t id, const QString& code);

// An OLE2 compound file (version 3, 512-byte sectors) holding one stream; its sectors follow
// each other, or lie in the file in reverse order when scattered is set.
QByteArray compoundFile(const QByteArray& stream,
                        const QString& streamName = QStringLiteral("Workbook"),
                        bool scattered = false);

} // namespace kestrel::test
