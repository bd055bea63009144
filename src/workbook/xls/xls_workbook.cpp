#include "workbook/xls/xls_workbook.h"

#include "text/errors.h"
#include "workbook/serial_dates.h"
#include "workbook/xls/xls_compound_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace kestrel {
namespace {

// Larger than any template; bounds the memory a wrong file can take.
constexpr qint64 kMaxFileSize = qint64(256) * 1024 * 1024;
constexpr qint64 kMapFromSize = qint64(4) * 1024 * 1024;
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;

QString faultText(xls::FileFault fault, const QByteArray& bytes) {
    switch (fault) {
    case xls::FileFault::NotWorkbook:
        if (bytes.startsWith("PK\x03\x04")) {
            return QCoreApplication::translate(
                "Workbook",
                "Not an Excel 97-2003 (.xls) workbook but a file of a newer format such as "
                ".xlsx: save it in Excel as an \"Excel 97-2003 Workbook\"");
        }
        return QCoreApplication::translate("Workbook", "Not an Excel 97-2003 (.xls) workbook");
    case xls::FileFault::OldFormat:
        return QCoreApplication::translate("Workbook",
                                           "A file of Excel 4.0 or earlier: save it in Excel as an "
                                           "\"Excel 97-2003 Workbook\"");
    case xls::FileFault::Encrypted:
        return QCoreApplication::translate(
            "Workbook", "The workbook is protected by a password and cannot be read");
    case xls::FileFault::TooLarge:
        return QCoreApplication::translate("Workbook",
                                           "The file is too large to be a template workbook");
    case xls::FileFault::Damaged:
        break;
    }
    return QCoreApplication::translate("Workbook", "The file is damaged or incomplete");
}

} // namespace

namespace xls {

XlsWorkbook::XlsWorkbook(QString path, ParsedWorkbook parsed)
    : StoredWorkbook(std::move(path), int(parsed.worksheets.size()), kMaxRows, kMaxColumns),
      m_book(std::move(parsed)) {}

const SheetCells& XlsWorkbook::cells(int sheet) const {
    return m_book.worksheets[std::size_t(sheet - 1)].cells;
}

QString XlsWorkbook::storedName(int sheet) const {
    return m_book.worksheets[std::size_t(sheet - 1)].name;
}

int XlsWorkbook::storedLastRow(int sheet) const {
    return cells(sheet).lastRow;
}

bool XlsWorkbook::storedCell(int sheet, int row, int column, CellView& view) const {
    const SheetCells& stored = cells(sheet);
    const std::size_t index = stored.find(std::uint32_t(row - 1), std::uint32_t(column - 1));
    if (index == SheetCells::kNone)
        return false;
    fillView(stored.at(index), view);
    return true;
}

void XlsWorkbook::storedRow(int sheet, int row, RowCells& out) const {
    const SheetCells& stored = cells(sheet);
    const auto index = std::uint32_t(row - 1);
    for (std::size_t i = stored.rowBegin(index); i < stored.rowEnd(index); ++i)
        fillView(stored.at(i), out.add(0, CellValue::Type::Blank));
}

void XlsWorkbook::fillView(const StoredCell& stored, CellView& view) const {
    view.column = stored.column + 1;
    switch (stored.kind) {
    case StoredCell::Number:
        view.type = CellValue::Type::Number;
        view.number = stored.value;
        return;
    case StoredCell::Date:
        fillDateView(dateTimeFromSerial(stored.value, m_book.date1904), view);
        return;
    case StoredCell::Text:
        view.type = CellValue::Type::Text;
        view.text = m_book.strings.at(stored.textIndex());
        return;
    case StoredCell::Boolean:
        view.type = CellValue::Type::Boolean;
        view.boolean = stored.code() != 0;
        return;
    case StoredCell::Error:
        view.type = CellValue::Type::Error;
        view.errorCode = stored.code();
        return;
    }
}

} // namespace xls

namespace {

bool refersInto(const QByteArray& part, const QByteArray& whole) {
    const char* begin = whole.constData();
    return part.constData() >= begin && part.constData() < begin + whole.size();
}

// Takes the bytes by value so that a file read here is freed as soon as nothing refers to it:
// once its workbook stream is copied out, or, when the stream is read in place, after parsing.
std::unique_ptr<Workbook> openFromBytes(QByteArray bytes, const QString& name, int ansiCodePage) {
    if (bytes.isEmpty()) {
        throw workbookOpenError(
            name,
            QCoreApplication::translate(
                "Workbook", "The file is empty (0 bytes), not an Excel 97-2003 (.xls) workbook"));
    }
    if (bytes.size() > kMaxFileSize) {
        throw workbookOpenError(name, faultText(xls::FileFault::TooLarge, bytes));
    }
    const QByteArray head = bytes.left(8);
    try {
        QByteArray stream = xls::extractWorkbookStream(bytes);
        if (!refersInto(stream, bytes)) {
            bytes = QByteArray();
        }
        xls::ParsedWorkbook parsed = xls::parseWorkbookStream(stream, ansiCodePage);
        stream = QByteArray();
        bytes = QByteArray();
        return std::make_unique<xls::XlsWorkbook>(name, std::move(parsed));
    } catch (const xls::FormatError& error) {
        throw workbookOpenError(name, faultText(error.fault, head));
    } catch (const std::bad_alloc&) {
        throw workbookOpenError(name, faultText(xls::FileFault::Damaged, head));
    }
}

} // namespace

std::unique_ptr<Workbook> openXlsWorkbook(const QString& path, int ansiCodePage) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw workbookOpenError(path,
                                QCoreApplication::translate("Workbook", "The file does not exist"));
    }
    if (info.isDir()) {
        throw workbookOpenError(
            path, QCoreApplication::translate("Workbook", "This is a folder, not a workbook file"));
    }
    if (info.size() > kMaxFileSize) {
        throw workbookOpenError(path, faultText(xls::FileFault::TooLarge, {}));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw workbookOpenError(
            path, QCoreApplication::translate("Workbook", "The file cannot be read (%1)")
                      .arg(file.errorString()));
    }
    // A large file is mapped: its pages are read in place rather than copied first, which
    // saves about a quarter of the time to open it. It is unmapped when the file is closed on
    // return; the workbook keeps nothing of it. Small files are read, since on some systems a
    // mapped file cut short by another program while being read ends the process.
    if (file.size() >= kMapFromSize) {
        if (const uchar* mapped = file.map(0, file.size())) {
            return openFromBytes(
                QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size()), path,
                ansiCodePage);
        }
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw workbookOpenError(
            path, QCoreApplication::translate("Workbook", "The file cannot be read (%1)")
                      .arg(file.errorString()));
    }
    file.close();
    return openFromBytes(std::move(bytes), path, ansiCodePage);
}

std::unique_ptr<Workbook> openXlsWorkbookFromBytes(const QByteArray& bytes, const QString& name,
                                                   int ansiCodePage) {
    return openFromBytes(bytes, name, ansiCodePage);
}

} // namespace kestrel
