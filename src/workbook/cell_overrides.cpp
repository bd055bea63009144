#include "workbook/cell_overrides.h"

#include "text/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>

namespace kestrel {

const CellValue* CellOverrides::find(int sheet, int row, int column) const {
    const std::vector<Row>& rows = m_rows[std::size_t(sheet - 1)];
    if (std::size_t(row - 1) >= rows.size())
        return nullptr;
    for (const Entry& entry : rows[std::size_t(row - 1)]) {
        if (entry.column == column)
            return &entry.value;
        if (entry.column > column)
            break;
    }
    return nullptr;
}

void CellOverrides::set(int sheet, int row, int column, const CellValue& value) {
    std::vector<Row>& rows = m_rows[std::size_t(sheet - 1)];
    if (rows.size() < std::size_t(row))
        rows.resize(std::size_t(row));
    Row& cells = rows[std::size_t(row - 1)];
    auto at = std::find_if(cells.begin(), cells.end(),
                           [column](const Entry& entry) { return entry.column >= column; });
    if (at != cells.end() && at->column == column) {
        at->value = value;
    } else {
        cells.insert(at, Entry{column, value});
        ++m_count;
    }
    if (!value.isBlank()) {
        int& last = m_lastRow[std::size_t(sheet - 1)];
        last = std::max(last, row);
    }
}

QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void checkWorksheet(const QString& path, int sheet, int count) {
    if (sheet < 1 || sheet > count) {
        throw WorkbookError(QCoreApplication::translate("Workbook", "%1 has no worksheet %2")
                                .arg(shownPath(path))
                                .arg(sheet));
    }
}

void checkCellPosition(const QString& path, int sheet, int row, int column, int maxRows,
                       int maxColumns) {
    if (row < 1 || row > maxRows || column < 1 || column > maxColumns) {
        throw WorkbookError(QCoreApplication::translate(
                                "Workbook", "Worksheet %2 of %1 has no cell at row %3, column %4")
                                .arg(shownPath(path))
                                .arg(sheet)
                                .arg(row)
                                .arg(column));
    }
}

} // namespace kestrel
