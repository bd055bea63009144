#include "workbook/package/package_cells.h"

#include "workbook/package/package_zip.h"
#include "workbook/serial_dates.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>

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

void PackageSheet::finish() {
    const auto before = [](const PackageCell& a, const PackageCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    };
    const auto notAfter = [&](const PackageCell& a, const PackageCell& b) { return !before(a, b); };
    // Writers store cells in order; only a file that does not needs sorting.
    if (std::adjacent_find(cells.begin(), cells.end(), notAfter) != cells.end()) {
        std::stable_sort(cells.begin(), cells.end(), before);
        // Of two cells for one place, the later one (last after the stable sort) wins.
        std::vector<PackageCell> unique;
        unique.reserve(cells.size());
        for (const PackageCell& cell : cells) {
            if (!unique.empty() && !before(unique.back(), cell))
                unique.back() = cell;
            else
                unique.push_back(cell);
        }
        cells = std::move(unique);
    }
    cells.shrink_to_fit();
    const std::uint32_t rows = cells.empty() ? 0 : cells.back().row + 1;
    rowStart.assign(rows + 1, 0);
    std::size_t next = 0;
    for (std::uint32_t row = 0; row <= rows; ++row) {
        while (next < cells.size() && cells[next].row < row)
            ++next;
        rowStart[row] = std::uint32_t(next);
    }
}

const PackageCell* PackageSheet::find(int row, int column) const {
    if (row < 0 || std::size_t(row) + 1 >= rowStart.size())
        return nullptr;
    const auto first = cells.begin() + rowStart[std::size_t(row)];
    const auto last = cells.begin() + rowStart[std::size_t(row) + 1];
    const auto it = std::lower_bound(
        first, last, column, [](const PackageCell& cell, int c) { return cell.column < c; });
    return it != last && it->column == column ? &*it : nullptr;
}

PackageCell& SheetBuilder::add(int row, int column, PackageCell::Kind kind) {
    if (row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns)
        throw PackageError{Fault::Damaged, {}};
    if (++m_cellCount > kMaxCells)
        throw PackageError{Fault::TooLarge, {}};
    noteRow(row);
    PackageCell cell;
    cell.row = std::uint32_t(row);
    cell.column = std::uint16_t(column);
    cell.kind = kind;
    m_sheet.cells.push_back(cell);
    return m_sheet.cells.back();
}

void SheetBuilder::addNumber(int row, int column, PackageCell::Kind kind, double value) {
    add(row, column, kind).number = value;
}

void SheetBuilder::addText(int row, int column, std::uint32_t index) {
    add(row, column, PackageCell::Text).number = index;
}

void SheetBuilder::addCode(int row, int column, PackageCell::Kind kind, std::uint8_t code) {
    add(row, column, kind).code = code;
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

CellValue cellValueOf(const PackageCell& cell, const ParsedPackage& book) {
    switch (cell.kind) {
    case PackageCell::Number:
        return CellValue::fromNumber(cell.number);
    case PackageCell::Serial:
        return dateTimeFromSerial(cell.number, book.date1904);
    case PackageCell::Calendar: {
        // To the second, as the spreadsheet shows it.
        const double seconds = std::round(cell.number * 86400.0);
        const double days = std::floor(seconds / 86400.0);
        const QDate date = kDayZero.addDays(qint64(days));
        if (!date.isValid() || date.year() < 1 || date.year() > 9999)
            return CellValue::fromNumber(cell.number);
        return CellValue::fromDateTime(date, QTime(0, 0).addSecs(int(seconds - days * 86400.0)));
    }
    case PackageCell::Text:
        return CellValue::fromText(book.strings[cell.textIndex()]);
    case PackageCell::Boolean:
        return CellValue::fromBoolean(cell.code != 0);
    case PackageCell::Error:
        return CellValue::fromError(cell.code);
    }
    return CellValue::blank();
}

} // namespace kestrel::package
