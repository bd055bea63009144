#pragma once

#include "workbook/stored_workbook.h"
#include "workbook/xls/xls_workbook_parser.h"

namespace kestrel::xls {

// A workbook read whole into memory at open.
class XlsWorkbook final : public StoredWorkbook {
public:
    XlsWorkbook(QString path, ParsedWorkbook parsed);

    std::optional<int> assumedCodePage() const override { return m_book.assumedCodePage; }

private:
    QString storedName(int sheet) const override;
    int storedLastRow(int sheet) const override;
    bool storedCell(int sheet, int row, int column, CellView& view) const override;
    void storedRow(int sheet, int row, RowCells& cells) const override;

    void fillView(const StoredCell& stored, CellView& view) const;
    const SheetCells& cells(int sheet) const;

    ParsedWorkbook m_book;
};

} // namespace kestrel::xls
