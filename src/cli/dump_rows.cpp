#include "cli/dump_rows.h"

#include "cli/dump_output.h"
#include "text/cellvalue.h"
#include "text/date_texts.h"
#include "text/textrules.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::xlsdump {
namespace {

const char* typeName(CellValue::Type type) {
    switch (type) {
    case CellValue::Type::Text:
        return "text";
    case CellValue::Type::Number:
        return "number";
    case CellValue::Type::DateTime:
        return "date";
    case CellValue::Type::Boolean:
        return "boolean";
    case CellValue::Type::Error:
        return "error";
    case CellValue::Type::Blank:
        break;
    }
    return "";
}

// Writes the lines of a range of rows, one per cell with a value. Each thread has its own.
class RowWriter {
public:
    RowWriter(const Workbook& book, int sheet, const QLocale& locale)
        : m_book(book), m_sheet(sheet), m_dates(locale), m_decimalPoint(decimalPointUtf8(locale)),
          m_plainNumbers(!needsEscape(m_decimalPoint)) {}

    void write(int firstRow, int lastRow, Output& out) {
        for (int row = firstRow; row <= lastRow; ++row) {
            m_book.readRow(m_sheet, row, m_cells);
            if (m_cells.cells().empty())
                continue;
            char rowText[16];
            char* end = std::to_chars(rowText, rowText + sizeof rowText, row).ptr;
            *end++ = '\t';
            const std::string_view rowPrefix(rowText, std::size_t(end - rowText));
            for (const CellView& cell : m_cells.cells()) {
                out.append(rowPrefix);
                out.append(columnAndType(cell));
                appendValue(out, cell);
                out.endLine();
            }
        }
    }

private:
    // "COLUMN<TAB>TYPE<TAB>", made once for each column and type.
    std::string_view columnAndType(const CellView& cell) {
        const auto type = std::size_t(cell.type);
        if (cell.column < 1 || cell.column > Workbook::kWalkedColumns)
            return m_otherPrefix = prefixText(cell.column, cell.type);
        std::string& text = m_prefixes[std::size_t(cell.column - 1) * kTypes + type];
        if (text.empty())
            text = prefixText(cell.column, cell.type);
        return text;
    }

    static std::string prefixText(int column, CellValue::Type type) {
        return std::to_string(column) + '\t' + typeName(type) + '\t';
    }

    void appendValue(Output& out, const CellView& cell) {
        switch (cell.type) {
        case CellValue::Type::Text:
            out.appendEscaped(cell.text);
            return;
        case CellValue::Type::Number:
            m_scratch.clear();
            appendNumberText(m_scratch, cell.number, m_decimalPoint);
            if (m_plainNumbers) {
                out.append(m_scratch);
                return;
            }
            break;
        case CellValue::Type::DateTime:
            m_scratch.clear();
            m_dates.append(m_scratch, cell.date, cell.time);
            break;
        case CellValue::Type::Boolean:
            out.append(cell.boolean ? "True" : "False");
            return;
        case CellValue::Type::Error:
            out.appendEscaped(errorCodeText(cell.errorCode));
            return;
        case CellValue::Type::Blank:
            return;
        }
        out.appendEscapedUtf8(m_scratch);
    }

    const Workbook& m_book;
    const int m_sheet;
    RowCells m_cells;
    DateCellTexts m_dates;
    const std::string m_decimalPoint;
    const bool m_plainNumbers;
    std::string m_scratch;
    static constexpr std::size_t kTypes = 6;
    std::vector<std::string> m_prefixes =
        std::vector<std::string>(Workbook::kWalkedColumns * kTypes);
    std::string m_otherPrefix;
};

// Blocks of rows go out in order while two threads take turns at writing them.
class BlockTurns {
public:
    // Waits until block's turn; false when an earlier block failed.
    bool waitFor(int block) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_turn == block || m_error; });
        return m_turn == block && !m_error;
    }
    // Called by the thread that holds the turn: the next block's turn, or none after a fault.
    void done(int block) {
        update([&] { m_turn = block + 1; });
    }
    void fail(std::exception_ptr error) {
        update([&] { m_error = std::move(error); });
    }
    std::exception_ptr error() {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    template <class Change> void update(Change change) {
        {
            std::lock_guard lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_turn = 0;
    std::exception_ptr m_error;
};

constexpr int kBlockRows = 2048;

// Writes every other block of rows, starting with firstBlock, each when its turn comes. A
// block that fails goes out as far as it got, as a dump in one thread would have.
void writeBlocks(RowWriter& writer, int firstBlock, int rows, BlockTurns& turns) {
    Output out(false);
    for (int block = firstBlock; block * kBlockRows < rows; block += 2) {
        const int firstRow = block * kBlockRows + 1;
        std::exception_ptr error;
        try {
            writer.write(firstRow, std::min(rows, firstRow + kBlockRows - 1), out);
        } catch (...) {
            error = std::current_exception();
        }
        if (!turns.waitFor(block))
            return;
        out.writeOut();
        if (error) {
            turns.fail(error);
            return;
        }
        turns.done(block);
    }
}

} // namespace

// The worksheet's lines. On a computer with two cores or more, two threads take blocks of rows
// in turn, each writing its block into memory and then out when the block before it is out;
// the workbook is only read.
void dumpWorksheet(const Workbook& book, int sheet, const QLocale& locale) {
    const int rows = book.lastRow(sheet);
    Output out(true);
    out.append("rows\t" + std::to_string(rows));
    out.endLine();
    if (rows <= kBlockRows || std::thread::hardware_concurrency() < 2) {
        RowWriter(book, sheet, locale).write(1, rows, out);
        return;
    }
    out.flush();
    // Both writers are made here: setting up the locale's forms is not for two threads at once.
    RowWriter even(book, sheet, locale);
    RowWriter odd(book, sheet, locale);
    BlockTurns turns;
    std::thread worker([&] { writeBlocks(odd, 1, rows, turns); });
    writeBlocks(even, 0, rows, turns);
    worker.join();
    if (const std::exception_ptr error = turns.error())
        std::rethrow_exception(error);
}

} // namespace kestrel::xlsdump
