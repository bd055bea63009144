#pragma once

#include "text/cellvalue.h"
#include "workbook/text_pool.h"
#include "workbook/workbook.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kestrel::package {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
// The most a workbook keeps of its cells and texts. A template of a million rows takes a few
// hundred megabytes; a file that would take more is no template.
constexpr std::size_t kMaxKeptBytes = std::size_t(1) << 30;

// A formula saved without its result: the application that saved it did not compute it, and
// this reader does not either.
constexpr quint8 kNoFormulaResult = kErrorNoFormulaResult;

// Values appended one by one into blocks of equal size: growing never copies what is there,
// so a large sheet never needs twice its memory.
template <class T> class BlockArray {
public:
    std::size_t size() const { return m_size; }
    T operator[](std::size_t index) const { return m_blocks[index >> kShift][index & kMask]; }
    void push_back(T value) {
        if ((m_size & kMask) == 0)
            m_blocks.emplace_back(new T[kMask + 1]);
        m_blocks.back()[m_size++ & kMask] = value;
    }
    void clear() {
        m_blocks.clear();
        m_size = 0;
    }

private:
    static constexpr unsigned kShift = 16;
    static constexpr std::size_t kMask = (std::size_t(1) << kShift) - 1;
    std::vector<std::unique_ptr<T[]>> m_blocks;
    std::size_t m_size = 0;
};

// The cells with a value of one worksheet, row by row, each row's in column order: ten bytes a
// cell, the column and kind in two and the value in eight, as the .xls reader keeps them. Blank
// cells are not kept: they only count for the last row.
class PackedCells {
public:
    enum Kind : std::uint8_t {
        Number,
        Serial,   // a date-formatted number: a spreadsheet serial in the workbook's date system
        Calendar, // a date stated as such: days (and day fractions) since 1899-12-30
        Coded,    // a text, a boolean or an error: see the functions below
    };
    struct Cell {
        int column = 0; // 0-based
        Kind kind = Number;
        double value = 0.0;
    };
    static constexpr std::size_t kCellBytes = sizeof(std::uint16_t) + sizeof(double);
    static constexpr std::size_t kNone = ~std::size_t(0);

    // A Coded cell's value: a text's index (0 and up), a boolean or an error code. A double
    // holds each exactly.
    static double text(std::uint32_t index) { return double(index); }
    static double boolean(bool value) { return value ? -2.0 : -1.0; }
    static double error(std::uint8_t code) { return -256.0 - code; }

    std::size_t size() const { return m_values.size(); }
    // The range of row's (0-based) cells; empty past the last row holding one.
    std::size_t rowBegin(std::uint32_t row) const {
        return row + 1 < m_rowStart.size() ? m_rowStart[row] : 0;
    }
    std::size_t rowEnd(std::uint32_t row) const {
        return row + 1 < m_rowStart.size() ? m_rowStart[row + 1] : 0;
    }
    Cell at(std::size_t index) const {
        const std::uint16_t tag = m_tags[index];
        return Cell{tag & kColumnMask, Kind(tag >> kKindShift), m_values[index]};
    }
    // The index of the cell (0-based row and column); kNone when it holds none.
    std::size_t find(std::uint32_t row, int column) const;

    // Cells are added as the sheet is read, mostly in order; finish() puts a sheet whose cells
    // came out of order in order, the last of two for one place winning.
    void add(std::uint32_t row, int column, Kind kind, double value);
    void finish();

private:
    static constexpr unsigned kKindShift = 14;
    static constexpr int kColumnMask = (1 << kKindShift) - 1;
    void startRowsUpTo(std::uint32_t row, std::size_t firstCell);
    void sortCells();

    BlockArray<std::uint16_t> m_tags; // column | kind << 14
    BlockArray<double> m_values;
    std::vector<std::uint32_t> m_rowStart; // row r's cells are rowStart[r] .. rowStart[r + 1] - 1
    std::vector<std::uint32_t> m_rows;     // each cell's row, only once cells came out of order
    bool m_ordered = true;
    int m_lastColumn = -1;
};

struct PackageSheet {
    QString name;
    PackedCells cells;
    int lastRow = 0; // 1-based; 0 when empty
};

struct ParsedPackage {
    bool date1904 = false;
    TextPool strings;
    std::vector<PackageSheet> worksheets;
    std::size_t cellCount = 0; // of every sheet

    // Throws PackageError (TooLarge) when the cells and texts kept take more than allowed.
    void checkKept() const;
};

// Collects the cells of one sheet while a part is parsed, within what a workbook may keep.
class SheetBuilder {
public:
    SheetBuilder(PackageSheet& sheet, ParsedPackage& book) : m_sheet(sheet), m_book(book) {}

    void addNumber(int row, int column, PackedCells::Kind kind, double value);
    void addText(int row, int column, std::uint32_t index);
    void addBoolean(int row, int column, bool value);
    void addError(int row, int column, std::uint8_t code);
    // A cell without a value (a formatted blank) still reaches the last row.
    void noteRow(int row);
    void finish() { m_sheet.cells.finish(); }

private:
    void add(int row, int column, PackedCells::Kind kind, double value);

    PackageSheet& m_sheet;
    ParsedPackage& m_book;
};

// A number as XML writes it ("12.5", "-3", "1.5E-7"); false when it is none or not finite.
bool parseDecimal(std::string_view text, double& value);

// BIFF error code of an error's text ("#DIV/0!" is 0x07); #VALUE! for texts of other
// applications' own errors ("Err:504").
std::uint8_t errorCodeOf(std::string_view text);

// A date-time from an ISO 8601 text ("2014-11-11", "2014-11-11T10:20:30.5"; a time alone,
// "10:20:30", is that time on 1899-12-30) as days since 1899-12-30; false when it is none.
bool calendarDaysOf(std::string_view text, double& days);

// The view of a kept cell; its text stays the workbook's.
void fillView(const PackedCells::Cell& cell, const ParsedPackage& book, CellView& view);

} // namespace kestrel::package
