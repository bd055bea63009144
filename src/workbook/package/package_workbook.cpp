#include "workbook/package/package_workbook.h"

#include "text/errors.h"
#include "workbook/package/package_readers.h"
#include "workbook/package/package_zip.h"

#include <QCoreApplication>

#include <algorithm>

namespace kestrel::package {
namespace {

QString faultText(const PackageError& error) {
    switch (error.fault) {
    case Fault::Encrypted:
        return QCoreApplication::translate(
            "Workbook", "The workbook is protected by a password and cannot be read");
    case Fault::TooLarge:
        return QCoreApplication::translate("Workbook",
                                           "The file is too large to be a template workbook");
    case Fault::NotSpreadsheet:
        return QCoreApplication::translate(
            "Workbook", "A ZIP file, but neither an Excel workbook (.xlsx, .xlsm) nor an "
                        "OpenDocument spreadsheet (.ods)");
    case Fault::MissingPart:
        return QCoreApplication::translate("Workbook",
                                           "The file is damaged or incomplete (%1 is missing)")
            .arg(error.part);
    case Fault::Damaged:
        break;
    }
    if (error.part.isEmpty())
        return QCoreApplication::translate("Workbook", "The file is damaged or incomplete");
    return QCoreApplication::translate("Workbook", "The file is damaged or incomplete (%1)")
        .arg(error.part);
}

} // namespace

PackageWorkbook::PackageWorkbook(QString path, ParsedPackage parsed)
    : StoredWorkbook(std::move(path), int(parsed.worksheets.size()), kMaxRows, kMaxColumns),
      m_book(std::move(parsed)) {}

QString PackageWorkbook::storedName(int sheet) const {
    return worksheet(sheet).name;
}

int PackageWorkbook::storedLastRow(int sheet) const {
    return worksheet(sheet).lastRow;
}

bool PackageWorkbook::storedCell(int sheet, int row, int column, CellView& view) const {
    const PackedCells& cells = worksheet(sheet).cells;
    const std::size_t index = cells.find(std::uint32_t(row - 1), column - 1);
    if (index == PackedCells::kNone)
        return false;
    fillView(cells.at(index), m_book, view);
    return true;
}

void PackageWorkbook::storedRow(int sheet, int row, RowCells& out) const {
    const PackedCells& cells = worksheet(sheet).cells;
    const auto index = std::uint32_t(row - 1);
    for (std::size_t i = cells.rowBegin(index); i < cells.rowEnd(index); ++i) {
        const PackedCells::Cell cell = cells.at(i);
        if (cell.column >= kWalkedColumns)
            break;
        fillView(cell, m_book, out.add(0, CellValue::Type::Blank));
    }
}

std::unique_ptr<Workbook> openPackageWorkbook(QIODevice& device, const QString& name) {
    try {
        const ZipPackage zip(device);
        if (isOfficeOpenXml(zip))
            return std::make_unique<PackageWorkbook>(name, readOfficeOpenXml(zip));
        if (isOpenDocument(zip))
            return std::make_unique<PackageWorkbook>(name, readOpenDocument(zip));
        throw PackageError{Fault::NotSpreadsheet, {}};
    } catch (const PackageError& error) {
        throw workbookOpenError(name, faultText(error));
    } catch (const std::bad_alloc&) {
        throw workbookOpenError(name, faultText(PackageError{Fault::TooLarge, {}}));
    }
}

} // namespace kestrel::package
