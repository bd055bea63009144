#pragma once

#include "text/cellvalue.h"

#include <QString>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrel::package {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
// More cells than a full .xls sheet holds; bounds the memory a wrong file can take.
constexpr std::size_t kMaxCells = std::size_t(1) << 24;

// A formula saved without its result: the application that saved it did not compute it, and
// this reader does not either.
constexpr quint8 kNoFormulaResult = kErrorNoFormulaResult;

// One cell with a value. Blank cells are not stored: they only count for the last row.
struct PackageCell {
    enum Kind : std::uint8_t {
        Number,
        Serial,   // a date-formatted number: a spreadsheet serial in the workbook's date system
        Calendar, // a date stated as such: days (and day fractions) since 1899-12-30
        Text,
        Boolean,
        Error,
    };
    std::uint32_t row = 0;    // 0-based
    std::uint16_t column = 0; // 0-based
    Kind kind = Number;
    std::uint8_t code = 0; // Boolean: 0/1; Error: the BIFF error code
    double number = 0.0;   // Number, Serial, Calendar; Text: the index into the strings

    std::uint32_t textIndex() const { return static_cast<std::uint32_t>(number); }
};

static_assert(sizeof(PackageCell) == 16);

struct PackageSheet {
    QString name;
    std::vector<PackageCell> cells;      // sorted by row, then column, once the sheet is complete
    std::vector<std::uint32_t> rowStart; // rowStart[r] .. rowStart[r + 1]: the cells of row r
    int lastRow = 0;                     // 1-based; 0 when empty

    // Sorts the cells (the last of two for one place wins) and indexes the rows.
    void finish();
    const PackageCell* find(int row, int column) const; // 0-based
};

struct ParsedPackage {
    bool date1904 = false;
    std::vector<QString> strings;
    std::vector<PackageSheet> worksheets;
};

// Collects the cells of one sheet while a part is parsed, within the cell limit.
class SheetBuilder {
public:
    SheetBuilder(PackageSheet& sheet, std::size_t& cellCount)
        : m_sheet(sheet), m_cellCount(cellCount) {}

    PackageCell& add(int row, int column, PackageCell::Kind kind);
    void addNumber(int row, int column, PackageCell::Kind kind, double value);
    void addText(int row, int column, std::uint32_t index);
    void addCode(int row, int column, PackageCell::Kind kind, std::uint8_t code);
    // A cell without a value (a formatted blank) still reaches the last row.
    void noteRow(int row);

private:
    PackageSheet& m_sheet;
    std::size_t& m_cellCount;
};

// A number as XML writes it ("12.5", "-3", "1.5E-7"); false when it is none or not finite.
bool parseDecimal(std::string_view text, double& value);

// BIFF error code of an error's text ("#DIV/0!" is 0x07); #VALUE! for texts of other
// applications' own errors ("Err:504").
std::uint8_t errorCodeOf(std::string_view text);

// A date-time from an ISO 8601 text ("2014-11-11", "2014-11-11T10:20:30.5"; a time alone,
// "10:20:30", is that time on 1899-12-30) as days since 1899-12-30; false when it is none.
bool calendarDaysOf(std::string_view text, double& days);

// The value a stored cell stands for.
CellValue cellValueOf(const PackageCell& cell, const ParsedPackage& book);

} // namespace kestrel::package
