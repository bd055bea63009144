#include "memory_workbook.h"

#include "text/errors.h"

#include <algorithm>

namespace kestrel::test {

MemoryWorkbook::MemoryWorkbook(QString path, int worksheets)
    : m_path(std::move(path)), m_sheets(worksheets) {}

const MemoryWorkbook::Sheet& MemoryWorkbook::sheetAt(int sheet) const {
    if (sheet < 1 || sheet > m_sheets.size())
        throw WorkbookError(QStringLiteral("工作簿 %1 没有第 %2 个工作表").arg(m_path).arg(sheet));
    return m_sheets.at(sheet - 1);
}

QString MemoryWorkbook::worksheetName(int sheet) const {
    sheetAt(sheet);
    return QStringLiteral("Sheet%1").arg(sheet);
}

int MemoryWorkbook::lastRow(int sheet) const {
    return sheetAt(sheet).lastRow;
}

CellValue MemoryWorkbook::cell(int sheet, int row, int column) const {
    return sheetAt(sheet).cells.value({row, column}, CellValue::blank());
}

void MemoryWorkbook::setCell(int sheet, int row, int column, const CellValue& value) {
    sheetAt(sheet);
    Sheet& target = m_sheets[sheet - 1];
    target.cells.insert({row, column}, value);
    target.lastRow = std::max(target.lastRow, row);
}

void MemoryWorkbook::appendTextRow(int sheet, const QStringList& texts) {
    const int row = lastRow(sheet) + 1;
    Sheet& target = m_sheets[sheet - 1];
    target.lastRow = row;
    for (int column = 1; column <= texts.size(); ++column) {
        if (!texts.at(column - 1).isEmpty())
            target.cells.insert({row, column}, CellValue::fromText(texts.at(column - 1)));
    }
}

} // namespace kestrel::test
