#include "workbook/stored_workbook.h"

#include <algorithm>

namespace kestrel {

StoredWorkbook::StoredWorkbook(QString path, int worksheets, int maxRows, int maxColumns)
    : m_path(std::move(path)), m_worksheets(worksheets), m_maxRows(maxRows),
      m_maxColumns(maxColumns), m_overrides(std::size_t(worksheets)) {}

void StoredWorkbook::checkPosition(int sheet, int row, int column) const {
    checkWorksheet(m_path, sheet, m_worksheets);
    checkCellPosition(m_path, sheet, row, column, m_maxRows, m_maxColumns);
}

QString StoredWorkbook::worksheetName(int sheet) const {
    checkWorksheet(m_path, sheet, m_worksheets);
    return storedName(sheet);
}

int StoredWorkbook::lastRow(int sheet) const {
    checkWorksheet(m_path, sheet, m_worksheets);
    // Writing a value into a row below the used range makes the range reach it.
    return std::max(storedLastRow(sheet), m_overrides.lastRow(sheet));
}

CellValue StoredWorkbook::cell(int sheet, int row, int column) const {
    checkPosition(sheet, row, column);
    if (const CellValue* set = m_overrides.find(sheet, row, column))
        return *set;
    CellView view;
    return storedCell(sheet, row, column, view) ? view.value() : CellValue::blank();
}

void StoredWorkbook::setCell(int sheet, int row, int column, const CellValue& value) {
    checkPosition(sheet, row, column);
    m_overrides.set(sheet, row, column, value);
}

void StoredWorkbook::forEachCellInRow(int sheet, int row, const CellVisitor& visit) const {
    checkPosition(sheet, row, 1);
    if (!m_overrides.isEmpty()) {
        Workbook::forEachCellInRow(sheet, row, visit); // merges the values set by the run
        return;
    }
    RowCells cells;
    storedRow(sheet, row, cells);
    for (const CellView& view : cells.cells())
        visit(view.column, view.value());
}

void StoredWorkbook::readRow(int sheet, int row, RowCells& cells) const {
    checkPosition(sheet, row, 1);
    if (!m_overrides.isEmpty()) {
        Workbook::readRow(sheet, row, cells); // merges the values set by the run
        return;
    }
    cells.clear();
    storedRow(sheet, row, cells);
}

} // namespace kestrel
