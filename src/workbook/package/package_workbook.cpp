#include "workbook/package/package_workbook.h"

#include "text/errors.h"
#include "workbook/cell_overrides.h"
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
    : m_path(std::move(path)), m_book(std::move(parsed)), m_overrides(m_book.worksheets.size()) {}

const PackageSheet& PackageWorkbook::worksheet(int sheet) const {
    checkWorksheet(m_path, sheet, worksheetCount());
    return m_book.worksheets[std::size_t(sheet - 1)];
}

void PackageWorkbook::checkPosition(int sheet, int row, int column) const {
    worksheet(sheet);
    checkCellPosition(m_path, sheet, row, column, kMaxRows, kMaxColumns);
}

QString PackageWorkbook::worksheetName(int sheet) const {
    return worksheet(sheet).name;
}

int PackageWorkbook::lastRow(int sheet) const {
    const int fileLastRow = worksheet(sheet).lastRow; // throws for a missing worksheet
    return std::max(fileLastRow, m_overrides.lastRow(sheet));
}

CellValue PackageWorkbook::cell(int sheet, int row, int column) const {
    checkPosition(sheet, row, column);
    if (const CellValue* set = m_overrides.find(sheet, row, column))
        return *set;
    const PackedCells& cells = worksheet(sheet).cells;
    const std::size_t index = cells.find(std::uint32_t(row - 1), column - 1);
    if (index == PackedCells::kNone)
        return CellValue::blank();
    CellView view;
    fillView(cells.at(index), m_book, view);
    return view.value();
}

void PackageWorkbook::setCell(int sheet, int row, int column, const CellValue& value) {
    checkPosition(sheet, row, column);
    m_overrides.set(sheet, row, column, value);
}

void PackageWorkbook::forEachCellInRow(int sheet, int row, const CellVisitor& visit) const {
    checkPosition(sheet, row, 1);
    if (!m_overrides.isEmpty()) {
        Workbook::forEachCellInRow(sheet, row, visit); // merges the values set by the run
        return;
    }
    const PackedCells& cells = worksheet(sheet).cells;
    const auto index = std::uint32_t(row - 1);
    CellView view;
    for (std::size_t i = cells.rowBegin(index); i < cells.rowEnd(index); ++i) {
        const PackedCells::Cell cell = cells.at(i);
        if (cell.column >= kWalkedColumns)
            break;
        fillView(cell, m_book, view);
        visit(view.column, view.value());
    }
}

void PackageWorkbook::readRow(int sheet, int row, RowCells& out) const {
    checkPosition(sheet, row, 1);
    if (!m_overrides.isEmpty()) {
        Workbook::readRow(sheet, row, out); // merges the values set by the run
        return;
    }
    out.clear();
    const PackedCells& cells = worksheet(sheet).cells;
    const auto index = std::uint32_t(row - 1);
    for (std::size_t i = cells.rowBegin(index); i < cells.rowEnd(index); ++i) {
        const PackedCells::Cell cell = cells.at(i);
        if (cell.column >= kWalkedColumns)
            break; // what cell() gives for columns 1 to 256
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
