#pragma once

#include "text/cellvalue.h"

#include <QString>
#include <vector>

namespace kestrel {

// The cell values a run sets in a workbook read whole at open, kept beside the file's cells:
// nothing is ever saved. Worksheets, rows and columns count from 1.
class CellOverrides {
public:
    explicit CellOverrides(std::size_t worksheetCount)
        : m_rows(worksheetCount), m_lastRow(worksheetCount, 0) {}

    bool isEmpty() const { return m_count == 0; }
    // The value set for the cell; nullptr when none was set.
    const CellValue* find(int sheet, int row, int column) const;
    void set(int sheet, int row, int column, const CellValue& value);
    // The last row holding a value set here that is not blank; 0 when none.
    int lastRow(int sheet) const { return m_lastRow[std::size_t(sheet - 1)]; }

private:
    struct Entry {
        int column;
        CellValue value;
    };
    using Row = std::vector<Entry>; // in column order

    // Per worksheet, per row: a run reads its rows in order, so the row it asks about next is
    // mostly the one beside the last, where a hash of every cell would be a jump each time.
    std::vector<std::vector<Row>> m_rows;
    std::vector<int> m_lastRow; // per worksheet
    std::size_t m_count = 0;
};

// The file's path as the platform writes it, for messages.
QString shownPath(const QString& path);
// Throws WorkbookError naming the file when worksheet `sheet` is not among its `count`.
void checkWorksheet(const QString& path, int sheet, int count);
// Throws WorkbookError naming the file and the cell when the cell lies outside a worksheet of
// maxRows rows and maxColumns columns.
void checkCellPosition(const QString& path, int sheet, int row, int column, int maxRows,
                       int maxColumns);

} // namespace kestrel
