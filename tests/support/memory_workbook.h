#pragma once

#include "workbook/workbook.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

namespace kestrel::test {

// A workbook held in memory for tests: worksheets of cells, header in row 1.
class MemoryWorkbook : public Workbook {
public:
    explicit MemoryWorkbook(QString path = QStringLiteral("memory.xls"), int worksheets = 1);

    QString filePath() const override { return m_path; }
    int worksheetCount() const override { return int(m_sheets.size()); }
    QString worksheetName(int sheet) const override;
    int lastRow(int sheet) const override;
    CellValue cell(int sheet, int row, int column) const override;
    void setCell(int sheet, int row, int column, const CellValue& value) override;

    // Appends a row of texts (an empty text makes a blank cell) after the last row.
    void appendTextRow(int sheet, const QStringList& texts);

private:
    struct Sheet {
        QMap<QPair<int, int>, CellValue> cells;
        int lastRow = 0;
    };
    const Sheet& sheetAt(int sheet) const;

    QString m_path;
    QList<Sheet> m_sheets;
};

} // namespace kestrel::test
