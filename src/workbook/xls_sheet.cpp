#include "workbook/xls_sheet.h"

#include "text/codepage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace kestrel::xls {
namespace {

constexpr std::uint16_t kSubstreamWorksheet = 0x0010;
constexpr std::uint16_t kWsBoolDialog = 0x0010;
constexpr std::size_t kNoPending = std::numeric_limits<std::size_t>::max();

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

class SheetReader {
public:
    SheetReader(RecordStream& stream, const SheetContext& context)
        : m_stream(stream), m_context(context) {}

    SheetCells read(std::size_t offset) {
        m_stream.seek(offset);
        // The smallest cell record, RK, takes 14 bytes; reserving for what the rest of the
        // stream could hold touches no memory until cells are stored.
        m_result.cells.reserve((m_stream.size() - std::min(offset, m_stream.size())) / 14);
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
        finish();
        return std::move(m_result);
    }

private:
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
            require(body, 6);
            noteRow(readU16(body.data));
            break;
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

    StoredCell& push(std::uint16_t row, std::uint16_t column, StoredCell::Kind kind) {
        noteRow(row);
        StoredCell cell;
        cell.key = StoredCell::makeKey(row, column);
        cell.kind = kind;
        if (!m_result.cells.empty() && cell.key <= m_result.cells.back().key) {
            m_sorted = false;
        }
        m_result.cells.push_back(cell);
        return m_result.cells.back();
    }

    StoredCell& addCell(const Fragment& body, StoredCell::Kind kind, std::uint8_t code = 0) {
        StoredCell& cell = push(readU16(body.data), readU16(body.data + 2), kind);
        cell.code = code;
        return cell;
    }

    bool isDateXf(std::uint16_t xf) const {
        const std::vector<bool>& dates = *m_context.dateXf;
        return xf < dates.size() && dates[xf];
    }

    void addNumber(std::uint16_t row, std::uint16_t column, std::uint16_t xf, double value) {
        StoredCell& cell = push(row, column, isDateXf(xf) ? StoredCell::Date : StoredCell::Number);
        cell.number = value;
    }

    void addNumber(const Fragment& body, double value) {
        addNumber(readU16(body.data), readU16(body.data + 2), readU16(body.data + 4), value);
    }

    void addText(const Fragment& body, std::uint32_t textIndex) {
        addCell(body, StoredCell::Text).setTextIndex(textIndex);
    }

    std::uint32_t appendString(QString text) {
        m_context.strings->push_back(std::move(text));
        return static_cast<std::uint32_t>(m_context.strings->size() - 1);
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
        addText(body, index);
    }

    QString readCellText(FragmentReader& reader) {
        if (m_context.biff8) {
            return reader.unicodeString(false);
        }
        const QByteArray bytes = reader.bytes(reader.u16());
        return m_codePage ? decodeCodePage(bytes, *m_codePage) : m_context.text->decode(bytes);
    }

    void label(const Record& rec) {
        require(rec.body, 8);
        const std::vector<Fragment> fragments = m_stream.withContinues(rec);
        FragmentReader reader(fragments);
        reader.skip(6);
        addText(rec.body, appendString(readCellText(reader)));
    }

    void formula(const Fragment& body) {
        require(body, 14);
        const unsigned char* result = body.data + 6;
        m_pendingString = kNoPending;
        if (readU16(result + 6) != 0xFFFF) {
            addNumber(body, readF64(result));
            return;
        }
        switch (result[0]) {
        case 0: // the text follows in a STRING record
            addText(body, emptyString());
            m_pendingString = m_result.cells.size() - 1;
            break;
        case 1:
            addCell(body, StoredCell::Boolean, result[2] ? 1 : 0);
            break;
        case 2:
            addCell(body, StoredCell::Error, result[2]);
            break;
        case 3:
            addText(body, emptyString());
            break;
        default:
            noteRow(readU16(body.data));
            break;
        }
    }

    void formulaString(const Record& rec) {
        const std::vector<Fragment> fragments = m_stream.withContinues(rec);
        if (m_pendingString == kNoPending) {
            return;
        }
        FragmentReader reader(fragments);
        m_result.cells[m_pendingString].setTextIndex(appendString(readCellText(reader)));
        m_pendingString = kNoPending;
    }

    std::uint32_t emptyString() {
        if (!m_emptyString) {
            m_emptyString = appendString(QString());
        }
        return *m_emptyString;
    }

    void finish() {
        std::vector<StoredCell>& cells = m_result.cells;
        if (!m_sorted) {
            sortCells(cells);
        }
        // No shrink_to_fit: the capacity reserved beyond the cells was never touched and holds
        // no memory, while a shrinking copy would hold the cells twice at the peak.
        const std::uint32_t rows = cells.empty() ? 0 : (cells.back().key >> 16) + 1;
        m_result.rowStart.assign(rows + 1, 0);
        std::size_t next = 0;
        for (std::uint32_t row = 0; row <= rows; ++row) {
            while (next < cells.size() && (cells[next].key >> 16) < row) {
                ++next;
            }
            m_result.rowStart[row] = static_cast<std::uint32_t>(next);
        }
    }

    static bool byKey(const StoredCell& a, const StoredCell& b) { return a.key < b.key; }

    // Sorts by row and column; a cell written twice keeps its last record. Writers put rows in
    // order but not always the cells of a row: those are sorted row by row, which needs no copy
    // of the whole sheet.
    static void sortCells(std::vector<StoredCell>& cells) {
        const auto rowOf = [](const StoredCell& cell) { return cell.key >> 16; };
        const bool rowsInOrder = std::is_sorted(
            cells.begin(), cells.end(),
            [&](const StoredCell& a, const StoredCell& b) { return rowOf(a) < rowOf(b); });
        if (rowsInOrder) {
            for (auto begin = cells.begin(); begin != cells.end();) {
                const auto end = std::find_if(begin, cells.end(), [&](const StoredCell& cell) {
                    return rowOf(cell) != rowOf(*begin);
                });
                std::stable_sort(begin, end, byKey);
                begin = end;
            }
        } else {
            std::stable_sort(cells.begin(), cells.end(), byKey);
        }
        std::size_t kept = 0;
        for (const StoredCell& cell : cells) {
            if (kept > 0 && cells[kept - 1].key == cell.key) {
                cells[kept - 1] = cell;
            } else {
                cells[kept++] = cell;
            }
        }
        cells.resize(kept);
    }

    RecordStream& m_stream;
    const SheetContext& m_context;
    std::optional<int> m_codePage; // from the worksheet's own CODEPAGE record
    SheetCells m_result;
    bool m_sorted = true;
    std::size_t m_pendingString = kNoPending;
    std::optional<std::uint32_t> m_emptyString;
};

} // namespace

const StoredCell* SheetCells::find(std::uint32_t row, std::uint32_t column) const {
    if (std::size_t(row) + 1 >= rowStart.size()) {
        return nullptr;
    }
    const auto begin = cells.begin() + rowStart[row];
    const auto end = cells.begin() + rowStart[row + 1];
    const std::uint32_t key = StoredCell::makeKey(row, column);
    const auto it = std::lower_bound(
        begin, end, key, [](const StoredCell& cell, std::uint32_t k) { return cell.key < k; });
    return it != end && it->key == key ? &*it : nullptr;
}

SheetCells readSheet(RecordStream& stream, std::size_t offset, const SheetContext& context) {
    return SheetReader(stream, context).read(offset);
}

} // namespace kestrel::xls
