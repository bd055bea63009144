#pragma once

#include "workbook/package/package_cells.h"
#include "workbook/stored_workbook.h"

class QIODevice;

namespace kestrel::package {

// An .xlsx, .xlsm or .ods workbook: its cells are read at open, its parts streamed.
class PackageWorkbook final : public StoredWorkbook {
public:
    PackageWorkbook(QString path, ParsedPackage parsed);

private:
    QString storedName(int sheet) const override;
    int storedLastRow(int sheet) const override;
    bool storedCell(int sheet, int row, int column, CellView& view) const override;
    void storedRow(int sheet, int row, RowCells& cells) const override;

    const PackageSheet& worksheet(int sheet) const {
        return m_book.worksheets[std::size_t(sheet - 1)];
    }

    ParsedPackage m_book;
};

// Reads a ZIP package holding an Office Open XML workbook or an OpenDocument spreadsheet from a
// random-access device (a file, a buffer). Throws WorkbookError naming the file and what is
// wrong with it.
std::unique_ptr<Workbook> openPackageWorkbook(QIODevice& device, const QString& name);

} // namespace kestrel::package
