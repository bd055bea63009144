#pragma once

#include "workbook/xls_byte_text.h"
#include "workbook/xls_records.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace kestrel::xls {

// One cell with a value, as stored for lookup. Blank cells are not stored: they only count
// for the last row.
struct StoredCell {
    enum Kind : std::uint8_t { Number, Date, Text, Boolean, Error };

    std::uint32_t key = 0; // row << 16 | column, both 0-based
    Kind kind = Number;
    std::uint8_t code = 0; // Boolean: 0/1; Error: the BIFF error code
    // Number and Date: the value; Text: the index into the workbook's strings, which a double
    // holds exactly. Sixteen bytes a cell keep a full sheet of 1.3 million cells at 21 MB.
    double number = 0.0;

    std::uint32_t textIndex() const { return static_cast<std::uint32_t>(number); }
    void setTextIndex(std::uint32_t index) { number = index; }

    static std::uint32_t makeKey(std::uint32_t row, std::uint32_t column) {
        return (row << 16) | column;
    }
};

// The cells of one worksheet, sorted by row then column, with each row's first cell indexed.
struct SheetCells {
    std::vector<StoredCell> cells;
    std::vector<std::uint32_t> rowStart; // rowStart[r] .. rowStart[r + 1] are row r's cells
    int lastRow = 0;                     // 1-based; 0 when the sheet holds no cell record
    // False for dialog sheets and for chart or macro substreams listed as worksheets.
    bool isWorksheet = true;

    const StoredCell* find(std::uint32_t row, std::uint32_t column) const;
};

// What the workbook globals give the worksheet parser.
struct SheetContext {
    bool biff8 = true;
    ByteTextDecoder* text = nullptr; // BIFF5 texts; a worksheet's own CODEPAGE record wins
    const std::vector<bool>* dateXf = nullptr; // per XF index: the format shows a date
    std::size_t sharedStringCount = 0;
    std::vector<QString>* strings = nullptr; // shared strings first; other texts are appended
};

static_assert(sizeof(StoredCell) == 16);

// Reads the worksheet substream starting with the BOF record at offset.
SheetCells readSheet(RecordStream& stream, std::size_t offset, const SheetContext& context);

} // namespace kestrel::xls
