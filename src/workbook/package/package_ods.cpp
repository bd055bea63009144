// OpenDocument spreadsheets: the tables of content.xml in document order, each cell by its
// value type. Repeated rows and cells are expanded only when they hold values, so a table that
// declares a million empty rows costs nothing.
#include "workbook/package/package_readers.h"
#include "workbook/package/package_xml.h"
#include "workbook/package/package_zip.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

namespace kestrel::package {
namespace {

constexpr std::string_view kContent = "content.xml";

int repeatCount(std::string_view text) {
    int count = 1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || count < 1)
        return 1;
    return count;
}

// An ISO 8601 duration ("PT27H17M54S", "P1DT2H") as days.
bool durationDays(std::string_view text, double& days) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() != 'P')
        return false;
    text.remove_prefix(1);
    double seconds = 0.0;
    bool inTime = false;
    while (!text.empty()) {
        if (text.front() == 'T') {
            inTime = true;
            text.remove_prefix(1);
            continue;
        }
        double amount = 0.0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), amount);
        if (error != std::errc() || end == text.data() + text.size())
            return false;
        const char unit = *end;
        text.remove_prefix(std::size_t(end - text.data()) + 1);
        if (unit == 'D' && !inTime)
            seconds += amount * 86400.0;
        else if (unit == 'H' && inTime)
            seconds += amount * 3600.0;
        else if (unit == 'M' && inTime)
            seconds += amount * 60.0;
        else if (unit == 'S' && inTime)
            seconds += amount;
        else
            return false;
    }
    days = (negative ? -seconds : seconds) / 86400.0;
    return true;
}

// One cell's value, kept while the cell's paragraphs are read.
struct PendingCell {
    enum class Type { None, Number, Date, Time, Boolean, Text, Error, NoResult };
    Type type = Type::None;
    double number = 0.0;
    bool boolean = false;
    std::string text;
    bool hasStringValue = false;          // office:string-value gives the text
    std::uint32_t textIndex = UINT32_MAX; // once stored: shared by the copies of a repeated row
};

// Pictures, shapes and notes anchored inside a cell's paragraph: their own paragraphs are not
// the cell's text.
bool isAnchoredObject(std::string_view name) {
    static constexpr std::string_view objects[] = {"annotation",
                                                   "frame",
                                                   "custom-shape",
                                                   "rect",
                                                   "line",
                                                   "polyline",
                                                   "polygon",
                                                   "path",
                                                   "circle",
                                                   "ellipse",
                                                   "g",
                                                   "connector",
                                                   "caption",
                                                   "measure",
                                                   "control",
                                                   "regular-polygon",
                                                   "page-thumbnail",
                                                   "scene"};
    return std::find(std::begin(objects), std::end(objects), name) != std::end(objects);
}

class ContentReader : public XmlEvents {
public:
    explicit ContentReader(ParsedPackage& book) : m_book(book) {}

    void start(std::string_view name, const XmlAttributes& a) override {
        if (m_skipDepth > 0) {
            ++m_skipDepth;
        } else if (m_inCell) {
            startInCell(name, a);
        } else if (name == "annotation" || name == "dde-links" || name == "shapes") {
            m_skipDepth = 1; // comments and embedded objects are not cell text
        } else if (name == "table" && !m_sheet) {
            startTable(a);
        } else if (!m_sheet) {
            return;
        } else if (name == "table-row") {
            m_rowRepeat = repeatCount(a.get("number-rows-repeated"));
            m_column = 0;
            m_rowCells.clear();
        } else if (name == "table-cell" || name == "covered-table-cell") {
            startCell(a);
        }
    }

    void end(std::string_view name) override {
        if (m_skipDepth > 0) {
            --m_skipDepth;
        } else if (m_inParagraph) {
            if (m_paragraphInner > 0)
                --m_paragraphInner; // a span, a link, a field
            else
                m_inParagraph = false;
        } else if (m_inCell) {
            endCell(); // the only element of a cell not skipped is a paragraph
        } else if (!m_sheet) {
            return;
        } else if (name == "table") {
            m_builder->finish();
            m_sheet = nullptr;
            m_builder.reset();
        } else if (name == "table-row") {
            endRow();
        }
    }

    void text(std::string_view value) override {
        if (m_skipDepth == 0 && m_inParagraph && !m_cell.hasStringValue)
            appendPiece(m_cell.text, value);
    }

private:
    void startTable(const XmlAttributes& a) {
        PackageSheet& sheet = m_book.worksheets.emplace_back();
        sheet.name = QString::fromUtf8(a.get("name").data(), qsizetype(a.get("name").size()));
        m_sheet = &sheet;
        m_builder.emplace(sheet, m_book);
        m_row = 0;
    }

    void startCell(const XmlAttributes& a) {
        m_inCell = true;
        m_paragraphs = 0;
        m_cellRepeat = repeatCount(a.get("number-columns-repeated"));
        m_cell = PendingCell();
        const std::string_view type = a.get("value-type");
        const std::string_view value = a.get("value");
        if (a.has("value-type", "error")) {
            // LibreOffice's calcext:value-type marks a formula whose result is an error; the
            // paragraph holds its text.
            m_cell.type = PendingCell::Type::Error;
        } else if (type == "float" || type == "percentage" || type == "currency") {
            m_cell.type = parseDecimal(value, m_cell.number) ? PendingCell::Type::Number
                                                             : PendingCell::Type::None;
        } else if (type == "date") {
            m_cell.type = calendarDaysOf(a.get("date-value"), m_cell.number)
                              ? PendingCell::Type::Date
                              : PendingCell::Type::None;
        } else if (type == "time") {
            m_cell.type = durationDays(a.get("time-value"), m_cell.number)
                              ? PendingCell::Type::Time
                              : PendingCell::Type::None;
        } else if (type == "boolean") {
            m_cell.type = PendingCell::Type::Boolean;
            m_cell.boolean = a.get("boolean-value") == "true";
        } else if (type == "string") {
            m_cell.type = PendingCell::Type::Text;
            if (a.has("string-value")) {
                appendPiece(m_cell.text, a.get("string-value"));
                m_cell.hasStringValue = true;
            }
        } else if (a.has("formula")) {
            m_cell.type = PendingCell::Type::NoResult;
        }
    }

    // The cell's own paragraphs give its text; whatever else is anchored in the cell (a
    // picture, a shape, a note) is skipped with its paragraphs.
    void startInCell(std::string_view name, const XmlAttributes& a) {
        if (!m_inParagraph) {
            startInCellOnly(name);
            return;
        }
        if (isAnchoredObject(name)) {
            m_skipDepth = 1;
            return;
        }
        ++m_paragraphInner;
        if (m_cell.hasStringValue)
            return;
        if (name == "s") {
            appendPiece(m_cell.text,
                        std::string(std::size_t(std::min(repeatCount(a.get("c")), 1024)), ' '));
        } else if (name == "tab") {
            appendPiece(m_cell.text, "\t");
        } else if (name == "line-break") {
            appendPiece(m_cell.text, "\n");
        }
    }

    // A direct child of the cell: one of its paragraphs (or headings), or something anchored
    // in it.
    void startInCellOnly(std::string_view name) {
        if (name != "p" && name != "h") {
            m_skipDepth = 1;
            return;
        }
        if (m_paragraphs++ > 0 && !m_cell.hasStringValue)
            appendPiece(m_cell.text, "\n");
        m_inParagraph = true;
        m_paragraphInner = 0;
    }

    void endCell() {
        m_inCell = false;
        if (m_cell.type == PendingCell::Type::None && m_paragraphs > 0)
            m_cell.type = PendingCell::Type::Text; // text without a declared type
        // LibreOffice saves a formula whose result is the empty text with an empty paragraph
        // and no value type; one whose paragraph holds text keeps no result it can be sure of.
        if (m_cell.type == PendingCell::Type::NoResult && m_paragraphs == 1 && m_cell.text.empty())
            m_cell.type = PendingCell::Type::Text;
        // A repeated cell is kept once, its text too, however many columns it spans.
        const int count = std::min(m_cellRepeat, kMaxColumns - m_column);
        if (m_cell.type != PendingCell::Type::None && count > 0)
            m_rowCells.push_back({m_column, count, std::move(m_cell)});
        m_column += count; // at most the last column: a sheet ends there
    }

    void endRow() {
        const int count = std::min(m_rowRepeat, kMaxRows - m_row);
        for (int i = 0; i < count; ++i) {
            for (RowCell& cells : m_rowCells) {
                for (int k = 0; k < cells.count; ++k)
                    store(m_row + i, cells.column + k, cells.cell);
            }
        }
        m_row += count;
        m_rowCells.clear();
    }

    void store(int row, int column, PendingCell& cell) {
        SheetBuilder& builder = *m_builder;
        switch (cell.type) {
        case PendingCell::Type::Number:
            builder.addNumber(row, column, PackedCells::Number, cell.number);
            break;
        case PendingCell::Type::Date:
        case PendingCell::Type::Time:
            builder.addNumber(row, column, PackedCells::Calendar, cell.number);
            break;
        case PendingCell::Type::Boolean:
            builder.addBoolean(row, column, cell.boolean);
            break;
        case PendingCell::Type::Text:
            builder.addText(row, column, textIndex(cell));
            break;
        case PendingCell::Type::Error:
            builder.addError(row, column, errorCodeOf(cell.text));
            break;
        case PendingCell::Type::NoResult:
            builder.addError(row, column, kNoFormulaResult);
            break;
        case PendingCell::Type::None:
            break;
        }
    }

    std::uint32_t textIndex(PendingCell& cell) {
        if (cell.textIndex == UINT32_MAX) {
            m_book.strings.appendUtf8(cell.text);
            cell.textIndex = m_book.strings.addRepeated();
        }
        return cell.textIndex;
    }

    ParsedPackage& m_book;
    PackageSheet* m_sheet = nullptr;
    std::optional<SheetBuilder> m_builder;
    int m_row = 0;
    int m_column = 0;
    int m_rowRepeat = 1;
    int m_cellRepeat = 1;
    bool m_inCell = false;
    bool m_inParagraph = false;
    int m_paragraphInner = 0; // elements open inside the paragraph
    int m_paragraphs = 0;
    int m_skipDepth = 0;
    PendingCell m_cell;
    struct RowCell {
        int column;
        int count; // of columns it repeats to
        PendingCell cell;
    };
    std::vector<RowCell> m_rowCells;
};

// Finds whether the manifest declares any part encrypted.
class ManifestReader : public XmlEvents {
public:
    void start(std::string_view name, const XmlAttributes&) override {
        encrypted = encrypted || name == "encryption-data";
    }
    void end(std::string_view) override {}
    bool encrypted = false;
};

} // namespace

bool isOpenDocument(const ZipPackage& zip) {
    return zip.has(kContent) && (zip.has("mimetype") || zip.has("META-INF/manifest.xml"));
}

ParsedPackage readOpenDocument(const ZipPackage& zip) {
    if (zip.has("META-INF/manifest.xml")) {
        ManifestReader manifest;
        parsePart(zip, "META-INF/manifest.xml", manifest);
        if (manifest.encrypted)
            throw PackageError{Fault::Encrypted, {}};
    }
    if (zip.has("mimetype")) {
        // A line of text; what follows its first few hundred bytes does not matter.
        ZipPackage::PartReader reader(zip, zip.entry("mimetype"));
        char type[256];
        const std::string_view text(type, reader.read(type, sizeof type));
        if (text.find("opendocument.spreadsheet") == std::string_view::npos)
            throw PackageError{Fault::NotSpreadsheet, {}};
    }
    ParsedPackage book;
    ContentReader reader(book);
    parsePart(zip, kContent, reader);
    return book;
}

} // namespace kestrel::package
