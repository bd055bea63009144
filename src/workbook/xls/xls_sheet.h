#pragma once

#include "workbook/xls/xls_byte_text.h"
#include "workbook/xls/xls_records.h"
#include "workbook/xls/xls_sst.h"

#include <cstdint>
#include <vector>

namespace kestrel::xls {

// One cell with a value, as stored. Blank cells are not stored: they only count for the last
// row.
struct StoredCell {
    enum Kind : std::uint8_t { Number, Date, Text, Boolean, Error };

    Kind kind = Number;
    int column = 0; // 0-based
    // Number and Date: the value; Text: the index into the workbook's texts; Boolean: 0 or 1;
    // Error: the BIFF error code. A double holds each of them exactly.
    double value = 0.0;

    std::uint32_t textIndex() const { return static_cast<std::uint32_t>(value); }
    std::uint8_t code() const { return static_cast<std::uint8_t>(value); }
};

// The cells of one worksheet, row by row, each row's in column order. Ten bytes a cell (the
// column and kind in two, the value in eight) keep a full sheet of 1.3 million cells at 13 MB.
// Only the worksheet's 256 columns are kept.
struct SheetCells {
    std::vector<std::uint32_t> rowStart; // row r's cells are rowStart[r] .. rowStart[r + 1] - 1
    std::vector<std::uint16_t> tags;     // column | kind << 8
    std::vector<double> values;
    int lastRow = 0; // 1-based; 0 when the sheet holds no cell record
    // False for dialog sheets and for chart or macro substreams listed as worksheets.
    bool isWorksheet = true;

    static constexpr std::size_t kNone = ~std::size_t(0);

    // The range of row's (0-based) cells; empty past the last row holding one.
    std::size_t rowBegin(std::uint32_t row) const {
        return row + 1 < rowStart.size() ? rowStart[row] : 0;
    }
    std::size_t rowEnd(std::uint32_t row) const {
        return row + 1 < rowStart.size() ? rowStart[row + 1] : 0;
    }
    StoredCell at(std::size_t index) const {
        const std::uint16_t tag = tags[index];
        return StoredCell{StoredCell::Kind(tag >> 8), tag & 0xFF, values[index]};
    }
    // The index of the cell; kNone when it holds none.
    std::size_t find(std::uint32_t row, std::uint32_t column) const;
};

// What the workbook globals give the worksheet parser.
struct SheetContext {
    bool biff8 = true;
    ByteTextDecoder* text = nullptr; // BIFF5 texts; a worksheet's own CODEPAGE record wins
    const std::vector<bool>* dateXf = nullptr; // per XF index: the format shows a date
    std::size_t sharedStringCount = 0;
    TextPool* strings = nullptr; // shared strings first; other texts are added
};

// Reads the worksheet substream starting with the BOF record at offset.
SheetCells readSheet(RecordStream& stream, std::size_t offset, const SheetContext& context);

} // namespace kestrel::xls
