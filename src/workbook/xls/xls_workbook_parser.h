#pragma once

#include "workbook/xls/xls_sheet.h"

#include <QByteArray>
#include <QString>
#include <optional>
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
    // Set when the file names no code page for its 8-bit texts and some were not plain ASCII.
    std::optional<int> assumedCodePage;
    TextPool strings;
    std::vector<ParsedSheet> worksheets;
};

// Parses a BIFF5 or BIFF8 workbook stream; BIFF5 texts of a workbook without a CODEPAGE record
// are read in assumedCodePage. Throws FormatError.
ParsedWorkbook parseWorkbookStream(const QByteArray& stream, int assumedCodePage);

} // namespace kestrel::xls
