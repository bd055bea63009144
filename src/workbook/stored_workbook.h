#pragma once

#include "workbook/cell_overrides.h"
#include "workbook/workbook.h"

namespace kestrel {

// What both readers' workbooks share: the file's cells, read at open and kept, and the values
// the run sets kept beside them (nothing is ever saved). A reader gives what the file holds.
class StoredWorkbook : public Workbook {
public:
    QString filePath() const final { return m_path; }
    int worksheetCount() const final { return m_worksheets; }
    QString worksheetName(int sheet) const final;
    int lastRow(int sheet) const final;
    CellValue cell(int sheet, int row, int column) const final;
    void setCell(int sheet, int row, int column, const CellValue& value) final;
    void forEachCellInRow(int sheet, int row, const CellVisitor& visit) const final;
    void readRow(int sheet, int row, RowCells& cells) const final;

protected:
    // A workbook of `worksheets` worksheets of the format's maxRows rows and maxColumns columns.
    StoredWorkbook(QString path, int worksheets, int maxRows, int maxColumns);

    // What the file holds, asked only for a worksheet that is there (1-based).
    virtual QString storedName(int sheet) const = 0;
    virtual int storedLastRow(int sheet) const = 0;
    // Fills the view of a cell within the worksheet; false when the file holds no value there.
    virtual bool storedCell(int sheet, int row, int column, CellView& view) const = 0;
    // Adds the cells of a row with a value, in columns 1 to kWalkedColumns and column order.
    virtual void storedRow(int sheet, int row, RowCells& cells) const = 0;

private:
    void checkPosition(int sheet, int row, int column) const;

    QString m_path;
    int m_worksheets;
    int m_maxRows;
    int m_maxColumns;
    CellOverrides m_overrides;
};

} // namespace kestrel
