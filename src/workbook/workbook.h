#pragma once

#include "text/cellvalue.h"
#include "text/codepage.h"
#include "text/errors.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrel {

// A cell as the workbook holds it, for callers that read many cells and keep none: its text is
// a view, valid until the row is read again or the workbook changes.
struct CellView {
    int column = 0;
    CellValue::Type type = CellValue::Type::Blank;
    QStringView text;     // Text
    double number = 0.0;  // Number
    QDate date;           // DateTime: the calendar day
    QTime time;           // DateTime: the time of day
    bool boolean = false; // Boolean
    quint8 errorCode = 0; // Error

    // The value cell() gives for the cell.
    CellValue value() const;
};

// The cells of one row that are not blank, in column order, as Workbook::readRow() gives them.
// One object serves row after row without allocating again.
class RowCells {
public:
    const std::vector<CellView>& cells() const { return m_cells; }
    void clear();
    // A cell whose text, if any, the workbook itself keeps.
    CellView& add(int column, CellValue::Type type);
    // A cell made from a value; the row keeps its text.
    void add(int column, const CellValue& value);

private:
    std::vector<CellView> m_cells;
    std::vector<QString> m_texts;
};

// A template workbook opened for one import run. Worksheets, rows and columns count from 1.
// Worksheet n is the n-th worksheet in the workbook's sheet order; chart, macro and dialog sheets
// are not counted. Values set with setCell() live in memory only: nothing is ever saved.
class Workbook {
public:
    virtual ~Workbook() = default;

    virtual QString filePath() const = 0;
    virtual int worksheetCount() const = 0;
    // Throws WorkbookError naming the file and the worksheet when it is not there.
    virtual QString worksheetName(int sheet) const = 0;
    // The number of the last row holding any cell record (formatted blanks included); 0 when the
    // worksheet is empty. Throws WorkbookError when the worksheet is not there.
    virtual int lastRow(int sheet) const = 0;
    // A cell outside the used range is blank. Throws WorkbookError when the worksheet is not there.
    virtual CellValue cell(int sheet, int row, int column) const = 0;
    virtual void setCell(int sheet, int row, int column, const CellValue& value) = 0;
    // The code page the workbook's texts were read in when the file names none and the choice
    // mattered (an Excel 5/95 workbook without a CODEPAGE record holding text beyond ASCII).
    virtual std::optional<int> assumedCodePage() const { return std::nullopt; }

    // Calls visit(column, value) for every cell of a row that is not blank, in column order,
    // values set with setCell() included: what cell() gives for columns 1 to 256. The default
    // asks cell() for each column; a reader that knows which cells exist walks only those.
    // Throws WorkbookError as cell() does.
    using CellVisitor = std::function<void(int column, const CellValue& value)>;
    virtual void forEachCellInRow(int sheet, int row, const CellVisitor& visit) const;
    // The same cells into `cells` (cleared first), without copying the texts the workbook holds:
    // for callers that read a whole worksheet and only look at each cell once.
    virtual void readRow(int sheet, int row, RowCells& cells) const;

    static constexpr int kWalkedColumns = 256; // A to IV: the columns of an .xls worksheet
};

// Opens a template workbook by its content, whatever its name: an OLE2 compound file as .xls
// (below), a ZIP package holding an Office Open XML workbook (.xlsx, .xlsm) or an OpenDocument
// spreadsheet (.ods), streamed part by part. Anything else is refused as the .xls reader
// refuses it. Throws WorkbookError, in Chinese, naming the file and what is wrong with it.
std::unique_ptr<Workbook> openWorkbook(const QString& path);
// The same from the file's bytes already in memory; name is used in error messages.
std::unique_ptr<Workbook> openWorkbookFromBytes(const QByteArray& bytes, const QString& name);

// "Cannot open the template file PATH: REASON" in the operator's language, the path in the
// platform's form.
WorkbookError workbookOpenError(const QString& path, const QString& reason);

// Opens an Excel 97-2003 (BIFF8) or Excel 5/95 (BIFF5) workbook. Throws WorkbookError, in
// Chinese, naming the file and what is wrong with it. An Excel 5/95 workbook stores its texts in
// the code page of the computer that wrote it; one that does not say which is read in
// ansiCodePage, as Windows does with this computer's code page.
std::unique_ptr<Workbook> openXlsWorkbook(const QString& path,
                                          int ansiCodePage = systemAnsiCodePage());
// The same from the file's bytes already in memory; name is used in error messages.
std::unique_ptr<Workbook> openXlsWorkbookFromBytes(const QByteArray& bytes, const QString& name,
                                                   int ansiCodePage = systemAnsiCodePage());

// Reads a cell as text by the cell-to-text rule; an error cell throws ConversionError naming the
// file, worksheet, row, column and the error.
QString cellText(const Workbook& book, int sheet, int row, int column, const QLocale& locale);

} // namespace kestrel
