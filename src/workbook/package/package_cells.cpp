#include "workbook/package/package_cells.h"

#include "workbook/package/package_zip.h"
#include "workbook/serial_dates.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace kestrel::package {
namespace {

const QDate kDayZero(1899, 12, 30);

bool parseInt(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// "10:20:30" or "10:20:30.25" as a fraction of a day.
bool timeFraction(std::string_view text, double& fraction) {
    int hours = 0;
    int minutes = 0;
    double seconds = 0.0;
    if (text.size() < 8 || text[2] != ':' || text[5] != ':' ||
        !parseInt(text.substr(0, 2), hours) || !parseInt(text.substr(3, 2), minutes))
        return false;
    std::string_view rest = text.substr(6);
    if (!rest.empty() && (rest.back() == 'Z'))
        rest.remove_suffix(1);
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), seconds);
    if (error != std::errc() || end != rest.data() + rest.size() || hours > 24 || minutes > 59 ||
        seconds < 0 || seconds >= 61)
        return false;
    fraction = (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0;
    return true;
}

} // namespace

bool parseDecimal(std::string_view text, double& value) {
    // The common case, a plain decimal of at most 15 digits, is exact as a whole number divided
    // by a power of ten (both exact doubles, so the one division rounds correctly).
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+'))
        ++i;
    std::int64_t digits = 0;
    int count = 0;
    int decimals = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++count > 15)
                break; // more digits than the fast path holds exactly
            digits = digits * 10 + (c - '0');
            if (decimals >= 0)
                ++decimals;
        } else if (c == '.' && decimals < 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    if (i == text.size() && count > 0 && count <= 15) {
        value = double(digits) / kPowers[std::max(decimals, 0)];
        if (negative)
            value = -value;
        return true;
    }
    const char* first = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return first != last && error == std::errc() && end == last && std::isfinite(value);
}

std::size_t PackedCells::find(std::uint32_t row, int column) const {
    std::size_t first = rowBegin(row);
    std::size_t last = rowEnd(row);
    while (first < last) {
        const std::size_t middle = first + (last - first) / 2;
        if ((m_tags[middle] & kColumnMask) < column)
            first = middle + 1;
        else
            last = middle;
    }
    return first < rowEnd(row) && (m_tags[first] & kColumnMask) == column ? first : kNone;
}

void PackedCells::startRowsUpTo(std::uint32_t row, std::size_t firstCell) {
    while (m_rowStart.size() <= row)
        m_rowStart.push_back(std::uint32_t(firstCell));
}

void PackedCells::add(std::uint32_t row, int column, Kind kind, double value) {
    if (m_ordered) {
        if (m_rowStart.empty() || row >= m_rowStart.size()) {
            startRowsUpTo(row, size());
        } else if (row + 1 < m_rowStart.size() || column <= m_lastColumn) {
            // Out of order: from here on each cell's row is kept, for finish() to sort by.
            m_ordered = false;
            m_rows.resize(size());
            for (std::uint32_t r = 0; r < m_rowStart.size(); ++r) {
                const std::size_t end = r + 1 < m_rowStart.size() ? m_rowStart[r + 1] : size();
                std::fill(m_rows.begin() + m_rowStart[r], m_rows.begin() + std::ptrdiff_t(end), r);
            }
        }
        m_lastColumn = column;
    }
    if (!m_ordered)
        m_rows.push_back(row);
    m_tags.push_back(std::uint16_t(column | kind << kKindShift));
    m_values.push_back(value);
}

void PackedCells::finish() {
    if (!m_ordered)
        sortCells();
    m_rowStart.push_back(std::uint32_t(size()));
    m_rowStart.shrink_to_fit();
}

void PackedCells::sortCells() {
    const auto columnOf = [&](std::uint32_t i) { return m_tags[i] & kColumnMask; };
    std::vector<std::uint32_t> order(size());
    std::iota(order.begin(), order.end(), 0u);
    const auto before = [&](std::uint32_t a, std::uint32_t b) {
        return m_rows[a] != m_rows[b] ? m_rows[a] < m_rows[b] : columnOf(a) < columnOf(b);
    };
    std::stable_sort(order.begin(), order.end(), before);
    BlockArray<std::uint16_t> tags;
    BlockArray<double> values;
    m_rowStart.clear();
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::uint32_t i = order[k];
        if (k + 1 < order.size() && !before(i, order[k + 1]))
            continue; // the later cell for the same place wins
        startRowsUpTo(m_rows[i], values.size());
        tags.push_back(m_tags[i]);
        values.push_back(m_values[i]);
    }
    m_tags = std::move(tags);
    m_values = std::move(values);
    m_rows = {};
    m_ordered = true;
}

void ParsedPackage::checkKept() const {
    if (cellCount * PackedCells::kCellBytes + strings.bytes() > kMaxKeptBytes)
        throw PackageError{Fault::TooLarge, {}};
}

void SheetBuilder::add(int row, int column, PackedCells::Kind kind, double value) {
    if (column < 0 || column >= kMaxColumns)
        throw PackageError{Fault::Damaged, {}};
    noteRow(row);
    m_sheet.cells.add(std::uint32_t(row), column, kind, value);
    ++m_book.cellCount;
    m_book.checkKept();
}

void SheetBuilder::addNumber(int row, int column, PackedCells::Kind kind, double value) {
    add(row, column, kind, value);
}

void SheetBuilder::addText(int row, int column, std::uint32_t index) {
    add(row, column, PackedCells::Coded, PackedCells::text(index));
}

void SheetBuilder::addBoolean(int row, int column, bool value) {
    add(row, column, PackedCells::Coded, PackedCells::boolean(value));
}

void SheetBuilder::addError(int row, int column, std::uint8_t code) {
    add(row, column, PackedCells::Coded, PackedCells::error(code));
}

void SheetBuilder::noteRow(int row) {
    if (row < 0 || row >= kMaxRows)
        throw PackageError{Fault::Damaged, {}};
    m_sheet.lastRow = std::max(m_sheet.lastRow, row + 1);
}

std::uint8_t errorCodeOf(std::string_view text) {
    struct Known {
        std::string_view text;
        std::uint8_t code;
    };
    static constexpr Known known[] = {{"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F},
                                      {"#REF!", 0x17},  {"#NAME?", 0x1D},  {"#NUM!", 0x24},
                                      {"#N/A", 0x2A}};
    for (const Known& entry : known) {
        if (entry.text == text)
            return entry.code;
    }
    return 0x0F;
}

bool calendarDaysOf(std::string_view text, double& days) {
    if (text.size() >= 8 && text[2] == ':') {
        return timeFraction(text, days);
    }
    int year = 0;
    int month = 0;
    int day = 0;
    if (text.size() < 10 || text[4] != '-' || text[7] != '-' ||
        !parseInt(text.substr(0, 4), year) || !parseInt(text.substr(5, 2), month) ||
        !parseInt(text.substr(8, 2), day))
        return false;
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;
    double fraction = 0.0;
    if (text.size() > 10) {
        if (text[10] != 'T' && text[10] != ' ')
            return false;
        if (!timeFraction(text.substr(11), fraction))
            return false;
    }
    days = double(kDayZero.daysTo(date)) + fraction;
    return true;
}

namespace {

// Days since 1899-12-30 to the second, as the spreadsheet shows them.
CellValue calendarValue(double days) {
    const double seconds = std::round(days * 86400.0);
    const double whole = std::floor(seconds / 86400.0);
    const QDate date = kDayZero.addDays(qint64(whole));
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return CellValue::fromNumber(days);
    return CellValue::fromDateTime(date, QTime(0, 0).addSecs(int(seconds - whole * 86400.0)));
}

} // namespace

void fillView(const PackedCells::Cell& cell, const ParsedPackage& book, CellView& view) {
    view.column = cell.column + 1;
    switch (cell.kind) {
    case PackedCells::Number:
        view.type = CellValue::Type::Number;
        view.number = cell.value;
        return;
    case PackedCells::Serial:
        fillDateView(dateTimeFromSerial(cell.value, book.date1904), view);
        return;
    case PackedCells::Calendar:
        fillDateView(calendarValue(cell.value), view);
        return;
    case PackedCells::Coded:
        break;
    }
    if (cell.value >= 0.0) {
        view.type = CellValue::Type::Text;
        view.text = book.strings.at(std::uint32_t(cell.value));
    } else if (cell.value > -256.0) {
        view.type = CellValue::Type::Boolean;
        view.boolean = cell.value == PackedCells::boolean(true);
    } else {
        view.type = CellValue::Type::Error;
        view.errorCode = std::uint8_t(-256.0 - cell.value);
    }
}

} // namespace kestrel::package
