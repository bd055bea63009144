#pragma once

#include "workbook/cell_overrides.h"
#include "workbook/package/package_cells.h"
#include "workbook/workbook.h"

namespace kestrel::package {

// An .xlsx, .xlsm or .ods workbook read whole at open. Cell values set by the run are kept in an
// override map beside the file's cells.
class PackageWorkbook final : public Workbook {
public:
    PackageWorkbook(QString path, ParsedPackage parsed);

    QString filePath() const override { return m_path; }
    int worksheetCount() const override { return int(m_book.worksheets.size()); }
    QString worksheetName(int sheet) const override;
    int lastRow(int sheet) const override;
    CellValue cell(int sheet, int row, int column) const override;
    void setCell(int sheet, int row, int column, const CellValue& value) override;

private:
    const PackageSheet& worksheet(int sheet) const;
    void checkPosition(int sheet, int row, int column) const;

    QString m_path;
    ParsedPackage m_book;
    CellOverrides m_overrides;
};

// Reads a ZIP package holding an Office Open XML workbook or an OpenDocument spreadsheet.
// Throws WorkbookError naming the file and what is wrong with it.
std::unique_ptr<Workbook> openPackageWorkbook(const QByteArray& bytes, const QString& name);

} // namespace kestrel::package
