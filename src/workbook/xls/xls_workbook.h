#pragma once

#include "workbook/cell_overrides.h"
#include "workbook/workbook.h"
#include "workbook/xls/xls_workbook_parser.h"

namespace kestrel::xls {

// A workbook read whole into memory at open. Cell values set by the run are kept in an
// override map beside the file's cells.
class XlsWorkbook final : public Workbook {
public:
    XlsWorkbook(QString path, ParsedWorkbook parsed);

    QString filePath() const override { return m_path; }
    int worksheetCount() const override { return int(m_book.worksheets.size()); }
    QString worksheetName(int sheet) const override;
    int lastRow(int sheet) const override;
    CellValue cell(int sheet, int row, int column) const override;
    void setCell(int sheet, int row, int column, const CellValue& value) override;
    std::optional<int> assumedCodePage() const override { return m_book.assumedCodePage; }
    void forEachCellInRow(int sheet, int row, const CellVisitor& visit) const override;
    void readRow(int sheet, int row, RowCells& cells) const override;

private:
    void fillView(const StoredCell& stored, CellView& view) const;
    CellValue storedValue(const StoredCell& stored) const;
    const ParsedSheet& worksheet(int sheet) const;
    void checkPosition(int sheet, int row, int column) const;

    QString m_path;
    ParsedWorkbook m_book;
    CellOverrides m_overrides;
};

} // namespace kestrel::xls
