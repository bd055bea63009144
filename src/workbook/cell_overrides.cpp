#include "workbook/cell_overrides.h"

#include "text/errors.h"

#include <QDir>
#include <algorithm>

namespace kestrel {

quint64 CellOverrides::key(int sheet, int row, int column) {
    return (quint64(sheet) << 40) | (quint64(row) << 16) | quint64(column);
}

const CellValue* CellOverrides::find(int sheet, int row, int column) const {
    const auto it = m_values.constFind(key(sheet, row, column));
    return it == m_values.constEnd() ? nullptr : &*it;
}

void CellOverrides::set(int sheet, int row, int column, const CellValue& value) {
    m_values.insert(key(sheet, row, column), value);
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
        throw WorkbookError(
            QStringLiteral("%1 中没有第 %2 个工作表").arg(shownPath(path)).arg(sheet));
    }
}

void checkCellPosition(const QString& path, int sheet, int row, int column, int maxRows,
                       int maxColumns) {
    if (row < 1 || row > maxRows || column < 1 || column > maxColumns) {
        throw WorkbookError(QStringLiteral("%1 的第 %2 个工作表中没有第 %3 行第 %4 列的单元格")
                                .arg(shownPath(path))
                                .arg(sheet)
                                .arg(row)
                                .arg(column));
    }
}

} // namespace kestrel
