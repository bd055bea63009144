#include "workbook/xls/xls_sheet.h"

#include "text/codepage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace kestrel::xls {
namespace {

constexpr std::uint16_t kSubstreamWorksheet = 0x0010;
constexpr std::uint16_t kWsBoolDialog = 0x0010;

double decodeRk(std::uint32_t rk) {
    double value = 0.0;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<std::int32_t>(rk & ~3u) / 4);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & ~3u) << 32;
        std::memcpy(&value, &bits, sizeof(value));
    }
    return (rk & 0x01) ? value / 100.0 : value;
}

void require(const Fragment& body, std::size_t size) {
    if (body.size < size) {
        damaged();
    }
}

// Reads a worksheet in two walks over its records: the first counts each row's cells, so that
// the second puts every cell straight into its row's place in storage of the exact size.
class SheetReader {
public:
    SheetReader(RecordStream& stream, const SheetContext& context)
        : m_stream(stream), m_context(context), m_rowFill(kRows + 1, 0) {}

    SheetCells read(std::size_t offset) {
        walk(offset);
        allocate();
        m_counting = false;
        walk(offset);
        settleRows();
        return std::move(m_result);
    }

private:
    static constexpr std::size_t kRows = 65536;
    static constexpr std::uint16_t kColumns = 256;

    void walk(std::size_t offset) {
        m_stream.seek(offset);
        m_codePage.reset();
        m_pendingString = SheetCells::kNone;
        Record rec;
        if (!m_stream.next(rec) || rec.id != record::kBof) {
            damaged();
        }
        require(rec.body, 4);
        m_result.isWorksheet = readU16(rec.body.data + 2) == kSubstreamWorksheet;
        int depth = 1;
        while (depth > 0) {
            if (!m_stream.next(rec)) {
                damaged(); // the substream ends without its EOF record
            }
            if (rec.id == record::kBof) {
                ++depth; // an embedded chart's substream
            } else if (rec.id == record::kEof) {
                --depth;
            } else if (depth == 1) {
                handle(rec);
            }
        }
    }

    void handle(const Record& rec) {
        const Fragment& body = rec.body;
        switch (rec.id) {
        case record::kNumber:
            require(body, 14);
            addNumber(body, readF64(body.data + 6));
            break;
        case record::kRk:
            require(body, 10);
            addNumber(body, decodeRk(readU32(body.data + 6)));
            break;
        case record::kMulRk:
            mulRk(body);
            break;
        case record::kLabelSst:
            labelSst(body);
            break;
        case record::kLabel:
        case record::kRString:
            label(rec);
            break;
        case record::kBoolErr:
            require(body, 8);
            if (body.data[7]) {
                addCell(body, StoredCell::Error, body.data[6]);
            } else {
                addCell(body, StoredCell::Boolean, body.data[6] ? 1 : 0);
            }
            break;
        case record::kFormula:
        case record::kFormulaBiff3:
        case record::kFormulaBiff4:
            formula(body);
            break;
        case record::kString:
            formulaString(rec);
            break;
        case record::kBlank:
        case record::kMulBlank:
            require(body, 6);
            noteRow(readU16(body.data));
            break;
        case record::kWsBool:
            if (body.size >= 2 && (readU16(body.data) & kWsBoolDialog)) {
                m_result.isWorksheet = false;
            }
            break;
        case record::kCodePage:
            // Some exporters put the code page into the worksheet substream.
            if (body.size >= 2) {
                m_codePage = readU16(body.data);
            }
            break;
        default:
            break;
        }
    }

    void noteRow(std::uint16_t row) { m_result.lastRow = std::max(m_result.lastRow, row + 1); }

    // Counts the cell in the first walk, stores it in the second; gives its index then.
    std::size_t push(std::uint16_t row, std::uint16_t column, StoredCell::Kind kind, double value) {
        noteRow(row);
        if (column >= kColumns) {
            return SheetCells::kNone; // beyond the worksheet's columns: no cell can show it
        }
        std::uint32_t& fill = m_rowFill[row];
        if (m_counting) {
            ++fill;
            return SheetCells::kNone;
        }
        const std::vector<std::uint32_t>& rowStart = m_result.rowStart;
        if (std::size_t(row) + 1 >= rowStart.size() || fill >= rowStart[std::size_t(row) + 1]) {
            damaged(); // both walks read the same records, so this cannot happen
        }
        m_result.tags[fill] = static_cast<std::uint16_t>(column | (kind << 8));
        m_result.values[fill] = value;
        return fill++;
    }

    std::size_t addCell(const Fragment& body, StoredCell::Kind kind, double value) {
        return push(readU16(body.data), readU16(body.data + 2), kind, value);
    }

    bool isDateXf(std::uint16_t xf) const {
        const std::vector<bool>& dates = *m_context.dateXf;
        return xf < dates.size() && dates[xf];
    }

    void addNumber(std::uint16_t row, std::uint16_t column, std::uint16_t xf, double value) {
        push(row, column, isDateXf(xf) ? StoredCell::Date : StoredCell::Number, value);
    }

    void addNumber(const Fragment& body, double value) {
        addNumber(readU16(body.data), readU16(body.data + 2), readU16(body.data + 4), value);
    }

    void mulRk(const Fragment& body) {
        require(body, 6);
        const std::size_t count = (body.size - 6) / 6;
        if (count == 0 || (body.size - 6) % 6 != 0) {
            damaged();
        }
        const std::uint16_t row = readU16(body.data);
        const std::uint16_t first = readU16(body.data + 2);
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char* item = body.data + 4 + 6 * i;
            const auto column = static_cast<std::uint16_t>(first + i);
            addNumber(row, column, readU16(item), decodeRk(readU32(item + 2)));
        }
    }

    void labelSst(const Fragment& body) {
        require(body, 10);
        const std::uint32_t index = readU32(body.data + 6);
        if (index >= m_context.sharedStringCount) {
            damaged();
        }
        addCell(body, StoredCell::Text, index);
    }

    // Adds the text at the reader to the workbook's texts; gives its index.
    std::uint32_t addCellText(FragmentReader& reader) {
        TextPool& texts = *m_context.strings;
        if (m_context.biff8) {
            reader.appendUnicodeString(false, texts.characters());
            return texts.add();
        }
        const QByteArray bytes = reader.bytes(reader.u16());
        return texts.add(m_codePage ? decodeCodePage(bytes, *m_codePage)
                                    : m_context.text->decode(bytes));
    }

    // The text is read in the second walk only; the first leaves its CONTINUE records to the
    // walk, which passes over them.
    void label(const Record& rec) {
        require(rec.body, 8);
        std::uint32_t text = 0;
        if (!m_counting) {
            const std::vector<Fragment> fragments = m_stream.withContinues(rec);
            FragmentReader reader(fragments);
            reader.skip(6);
            text = addCellText(reader);
        }
        addCell(rec.body, StoredCell::Text, text);
    }

    void formula(const Fragment& body) {
        require(body, 14);
        const unsigned char* result = body.data + 6;
        m_pendingString = SheetCells::kNone;
        if (readU16(result + 6) != 0xFFFF) {
            addNumber(body, readF64(result));
            return;
        }
        switch (result[0]) {
        case 0: // the text follows in a STRING record
            m_pendingString = addCell(body, StoredCell::Text, emptyString());
            break;
        case 1:
            addCell(body, StoredCell::Boolean, result[2] ? 1 : 0);
            break;
        case 2:
            addCell(body, StoredCell::Error, result[2]);
            break;
        case 3:
            addCell(body, StoredCell::Text, emptyString());
            break;
        default:
            noteRow(readU16(body.data));
            break;
        }
    }

    void formulaString(const Record& rec) {
        if (m_counting) {
            return;
        }
        const std::vector<Fragment> fragments = m_stream.withContinues(rec);
        if (m_pendingString == SheetCells::kNone) {
            return;
        }
        FragmentReader reader(fragments);
        m_result.values[m_pendingString] = addCellText(reader);
        m_pendingString = SheetCells::kNone;
    }

    std::uint32_t emptyString() {
        if (m_counting) {
            return 0;
        }
        if (!m_emptyString) {
            m_emptyString = m_context.strings->add();
        }
        return *m_emptyString;
    }

    // Sizes the storage by the counts of the first walk; m_rowFill then holds where each row's
    // next cell goes.
    void allocate() {
        std::size_t rows = kRows;
        while (rows > 0 && m_rowFill[rows - 1] == 0) {
            --rows;
        }
        std::vector<std::uint32_t>& rowStart = m_result.rowStart;
        rowStart.assign(rows + 1, 0);
        std::uint32_t total = 0;
        for (std::size_t row = 0; row < rows; ++row) {
            rowStart[row] = total;
            total += m_rowFill[row];
            m_rowFill[row] = rowStart[row];
        }
        rowStart[rows] = total;
        m_result.tags.resize(total);
        m_result.values.resize(total);
    }

    int columnAt(std::size_t index) const { return m_result.tags[index] & 0xFF; }

    bool rowInOrder(std::size_t begin, std::size_t end) const {
        for (std::size_t i = begin + 1; i < end; ++i) {
            if (columnAt(i - 1) >= columnAt(i)) {
                return false;
            }
        }
        return true;
    }

    // Sorts a row's cells by column where the file did not, a cell written twice keeping its
    // last record, and closes the gaps this leaves.
    void settleRows() {
        std::vector<std::uint32_t>& rowStart = m_result.rowStart;
        const std::size_t rows = rowStart.empty() ? 0 : rowStart.size() - 1;
        std::size_t kept = 0;
        for (std::size_t row = 0; row < rows; ++row) {
            const std::size_t begin = rowStart[row];
            std::size_t end = rowStart[row + 1];
            if (!rowInOrder(begin, end)) {
                end = sortRow(begin, end);
            }
            if (kept != begin) {
                std::copy(m_result.tags.begin() + std::ptrdiff_t(begin),
                          m_result.tags.begin() + std::ptrdiff_t(end),
                          m_result.tags.begin() + std::ptrdiff_t(kept));
                std::copy(m_result.values.begin() + std::ptrdiff_t(begin),
                          m_result.values.begin() + std::ptrdiff_t(end),
                          m_result.values.begin() + std::ptrdiff_t(kept));
            }
            rowStart[row] = static_cast<std::uint32_t>(kept);
            kept += end - begin;
        }
        if (rows > 0) {
            rowStart[rows] = static_cast<std::uint32_t>(kept);
        }
        m_result.tags.resize(kept);
        m_result.values.resize(kept);
    }

    // Gives the new end of the row.
    std::size_t sortRow(std::size_t begin, std::size_t end) {
        struct Entry {
            std::uint16_t tag;
            double value;
        };
        std::vector<Entry> entries;
        entries.reserve(end - begin);
        for (std::size_t i = begin; i < end; ++i) {
            entries.push_back({m_result.tags[i], m_result.values[i]});
        }
        const auto column = [](const Entry& entry) { return entry.tag & 0xFF; };
        std::stable_sort(entries.begin(), entries.end(),
                         [&](const Entry& a, const Entry& b) { return column(a) < column(b); });
        std::size_t out = begin;
        for (const Entry& entry : entries) {
            if (out > begin && columnAt(out - 1) == column(entry)) {
                --out; // the later record of the same cell wins
            }
            m_result.tags[out] = entry.tag;
            m_result.values[out] = entry.value;
            ++out;
        }
        return out;
    }

    RecordStream& m_stream;
    const SheetContext& m_context;
    bool m_counting = true;
    // Per row: its cells counted in the first walk, then where its next cell goes.
    std::vector<std::uint32_t> m_rowFill;
    std::optional<int> m_codePage; // from the worksheet's own CODEPAGE record
    SheetCells m_result;
    std::size_t m_pendingString = SheetCells::kNone;
    std::optional<std::uint32_t> m_emptyString;
};

} // namespace

std::size_t SheetCells::find(std::uint32_t row, std::uint32_t column) const {
    const auto begin = tags.begin() + std::ptrdiff_t(rowBegin(row));
    const auto end = tags.begin() + std::ptrdiff_t(rowEnd(row));
    const auto it = std::lower_bound(begin, end, column, [](std::uint16_t tag, std::uint32_t c) {
        return std::uint32_t(tag & 0xFF) < c;
    });
    return it != end && std::uint32_t(*it & 0xFF) == column ? std::size_t(it - tags.begin())
                                                            : kNone;
}

SheetCells readSheet(RecordStream& stream, std::size_t offset, const SheetContext& context) {
    return SheetReader(stream, context).read(offset);
}

} // namespace kestrel::xls
