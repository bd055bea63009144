#pragma once

#include "workbook/xls_sheet.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace kestrel::xls {

struct ParsedSheet {
    QString name;
    SheetCells cells;
};

// Everything an open workbook keeps: the worksheets in sheet order (chart, macro, dialog and
// module sheets left out) and the texts their cells refer to.
struct ParsedWorkbook {
    bool biff8 = true;
    bool date1904 = false;
    std::vector<QString> strings;
    std::vector<ParsedSheet> worksheets;
};

// Parses a BIFF5 or BIFF8 workbook stream. Throws FormatError.
ParsedWorkbook parseWorkbookStream(const QByteArray& stream);

} // namespace kestrel::xls
