#pragma once

#include "workbook/cell_overrides.h"
#include "workbook/package/package_cells.h"
#include "workbook/workbook.h"

class QIODevice;

namespace kestrel::package {

// An .xlsx, .xlsm or .ods workbook: its cells are read at open, its parts streamed. Cell values
// set by the run are kept in an override map beside the file's cells.
class PackageWorkbook final : public Workbook {
public:
    PackageWorkbook(QString path, ParsedPackage parsed);

    QString filePath() const override { return m_path; }
    int worksheetCount() const override { return int(m_book.worksheets.size()); }
    QString worksheetName(int sheet) const override;
    int lastRow(int sheet) const override;
    CellValue cell(int sheet, int row, int column) const override;
    void setCell(int sheet, int row, int column, const CellValue& value) override;
    void forEachCellInRow(int sheet, int row, const CellVisitor& visit) const override;
    void readRow(int sheet, int row, RowCells& cells) const override;

private:
    const PackageSheet& worksheet(int sheet) const;
    void checkPosition(int sheet, int row, int column) const;

    QString m_path;
    ParsedPackage m_book;
    CellOverrides m_overrides;
};

// Reads a ZIP package holding an Office Open XML workbook or an OpenDocument spreadsheet from a
// random-access device (a file, a buffer). Throws WorkbookError naming the file and what is
// wrong with it.
std::unique_ptr<Workbook> openPackageWorkbook(QIODevice& device, const QString& name);

} // namespace kestrel::package
