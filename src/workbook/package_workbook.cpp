#include "workbook/package_workbook.h"

#include "text/errors.h"
#include "workbook/package_readers.h"
#include "workbook/package_zip.h"

#include <QDir>
#include <algorithm>

namespace kestrel::package {
namespace {

QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString faultText(const PackageError& error) {
    switch (error.fault) {
    case Fault::Encrypted:
        return QStringLiteral("工作簿设有密码保护，无法读取");
    case Fault::TooLarge:
        return QStringLiteral("文件过大，不是模板工作簿");
    case Fault::NotSpreadsheet:
        return QStringLiteral("是 ZIP 压缩文件，但不是 Excel 工作簿（.xlsx、.xlsm）或 "
                              "OpenDocument 电子表格（.ods）");
    case Fault::MissingPart:
        return QStringLiteral("文件已损坏或不完整（缺少 %1）").arg(error.part);
    case Fault::Damaged:
        break;
    }
    if (error.part.isEmpty())
        return QStringLiteral("文件已损坏或不完整");
    return QStringLiteral("文件已损坏或不完整（%1）").arg(error.part);
}

} // namespace

PackageWorkbook::PackageWorkbook(QString path, ParsedPackage parsed)
    : m_path(std::move(path)), m_book(std::move(parsed)),
      m_overrideLastRow(m_book.worksheets.size(), 0) {}

const PackageSheet& PackageWorkbook::worksheet(int sheet) const {
    if (sheet < 1 || sheet > worksheetCount()) {
        throw WorkbookError(
            QStringLiteral("%1 中没有第 %2 个工作表").arg(shownPath(m_path)).arg(sheet));
    }
    return m_book.worksheets[std::size_t(sheet - 1)];
}

void PackageWorkbook::checkPosition(int sheet, int row, int column) const {
    worksheet(sheet);
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
        throw WorkbookError(QStringLiteral("%1 的第 %2 个工作表中没有第 %3 行第 %4 列的单元格")
                                .arg(shownPath(m_path))
                                .arg(sheet)
                                .arg(row)
                                .arg(column));
    }
}

quint64 PackageWorkbook::overrideKey(int sheet, int row, int column) {
    return (quint64(sheet) << 40) | (quint64(row) << 16) | quint64(column);
}

QString PackageWorkbook::worksheetName(int sheet) const {
    return worksheet(sheet).name;
}

int PackageWorkbook::lastRow(int sheet) const {
    return std::max(worksheet(sheet).lastRow, m_overrideLastRow[std::size_t(sheet - 1)]);
}

CellValue PackageWorkbook::cell(int sheet, int row, int column) const {
    checkPosition(sheet, row, column);
    if (!m_overrides.isEmpty()) {
        const auto it = m_overrides.constFind(overrideKey(sheet, row, column));
        if (it != m_overrides.constEnd())
            return *it;
    }
    const PackageCell* stored = worksheet(sheet).find(row - 1, column - 1);
    return stored ? cellValueOf(*stored, m_book) : CellValue::blank();
}

void PackageWorkbook::setCell(int sheet, int row, int column, const CellValue& value) {
    checkPosition(sheet, row, column);
    m_overrides.insert(overrideKey(sheet, row, column), value);
    if (!value.isBlank()) {
        int& last = m_overrideLastRow[std::size_t(sheet - 1)];
        last = std::max(last, row);
    }
}

std::unique_ptr<Workbook> openPackageWorkbook(const QByteArray& bytes, const QString& name) {
    try {
        const ZipPackage zip(bytes);
        if (isOfficeOpenXml(zip))
            return std::make_unique<PackageWorkbook>(name, readOfficeOpenXml(zip));
        if (isOpenDocument(zip))
            return std::make_unique<PackageWorkbook>(name, readOpenDocument(zip));
        throw PackageError{Fault::NotSpreadsheet, {}};
    } catch (const PackageError& error) {
        throw workbookOpenError(name, faultText(error));
    } catch (const std::bad_alloc&) {
        throw workbookOpenError(name, faultText(PackageError{Fault::TooLarge, {}}));
    }
}

} // namespace kestrel::package
