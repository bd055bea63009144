#pragma once

// The check every reader's rows pass: Workbook::readRow() gives, in column order, exactly the
// cells cell() gives as not blank, with the same values.
#include "workbook/workbook.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace kestrel::test {

inline void expectSameValue(const CellValue& expected, const CellValue& actual) {
    EXPECT_EQ(int(expected.type), int(actual.type));
    EXPECT_EQ(expected.text, actual.text);
    EXPECT_EQ(0, std::memcmp(&expected.number, &actual.number, sizeof(double)))
        << expected.number << " " << actual.number; // NaN equals NaN here
    EXPECT_EQ(expected.date, actual.date);
    EXPECT_EQ(expected.time, actual.time);
    EXPECT_EQ(expected.boolean, actual.boolean);
    EXPECT_EQ(expected.errorCode, actual.errorCode);
}

// Rows past the first rowsChecked are checked only for the last row, so that a sheet styled to
// its millionth row stays quick.
inline void expectRowsReadAsCells(const Workbook& book, int sheet, int rowsChecked = 70000) {
    RowCells cells;
    const int lastRow = book.lastRow(sheet);
    for (int row = 1; row <= lastRow;
         row = row < rowsChecked ? row + 1 : std::max(row + 1, lastRow)) {
        SCOPED_TRACE("sheet " + std::to_string(sheet) + " row " + std::to_string(row));
        book.readRow(sheet, row, cells);
        std::size_t next = 0;
        for (int column = 1; column <= Workbook::kWalkedColumns; ++column) {
            const CellValue expected = book.cell(sheet, row, column);
            if (expected.isBlank())
                continue;
            ASSERT_LT(next, cells.cells().size()) << "column " << column << " left out";
            const CellView& view = cells.cells()[next++];
            ASSERT_EQ(column, view.column);
            expectSameValue(expected, view.value());
        }
        EXPECT_EQ(next, cells.cells().size()) << "a cell cell() does not give";
    }
}

} // namespace kestrel::test
