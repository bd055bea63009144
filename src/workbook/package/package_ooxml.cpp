// Office Open XML workbooks: the workbook part found through the package relationships, its
// worksheets in workbook order, shared strings, the number formats that make a number a date,
// and the cells of every worksheet.
#include "workbook/date_formats.h"
#include "workbook/package/package_readers.h"
#include "workbook/package/package_xml.h"
#include "workbook/package/package_zip.h"

#include <charconv>
#include <cmath>
#include <map>
#include <string>

namespace kestrel::package {
namespace {

using Part = std::string;

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A relationship target resolved against the folder of the part that names it.
Part resolveTarget(const Part& from, std::string_view target) {
    if (!target.empty() && target.front() == '/')
        return Part(target.substr(1));
    Part folder = from.substr(0, from.rfind('/') + 1);
    while (target.substr(0, 3) == "../") {
        target.remove_prefix(3);
        const std::size_t cut =
            folder.size() > 1 ? folder.rfind('/', folder.size() - 2) : Part::npos;
        folder = cut == Part::npos ? Part() : folder.substr(0, cut + 1);
    }
    if (target.substr(0, 2) == "./")
        target.remove_prefix(2);
    return folder + Part(target);
}

Part relationshipsOf(const Part& part) {
    const std::size_t slash = part.rfind('/');
    const Part folder = slash == Part::npos ? Part() : part.substr(0, slash + 1);
    const Part file = slash == Part::npos ? part : part.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

struct Relationship {
    std::string type;
    Part target;
};

class RelationshipsReader : public XmlEvents {
public:
    explicit RelationshipsReader(Part owner) : m_owner(std::move(owner)) {}
    void start(std::string_view name, const XmlAttributes& a) override {
        if (name == "Relationship" && a.get("TargetMode") != "External")
            items[std::string(a.get("Id"))] = {std::string(a.get("Type")),
                                               resolveTarget(m_owner, a.get("Target"))};
    }
    void end(std::string_view) override {}
    std::map<std::string, Relationship> items;

private:
    Part m_owner;
};

std::map<std::string, Relationship> relationships(const ZipPackage& zip, const Part& owner) {
    const Part part = relationshipsOf(owner);
    RelationshipsReader reader(owner);
    if (zip.has(part))
        parsePart(zip, part, reader);
    return reader.items;
}

struct SheetEntry {
    QString name;
    std::string relationship;
};

class WorkbookReader : public XmlEvents {
public:
    void start(std::string_view name, const XmlAttributes& a) override {
        // Some writers repeat workbookPr (inside mc:AlternateContent): the one stating the
        // date system counts.
        if (name == "workbookPr" && a.has("date1904"))
            date1904 = a.get("date1904") == "1" || a.get("date1904") == "true";
        else if (name == "sheet")
            sheets.push_back({decodeOfficeEscapes(a.get("name")), std::string(a.get("id"))});
    }
    void end(std::string_view) override {}
    bool date1904 = false;
    std::vector<SheetEntry> sheets;
};

class SharedStringsReader : public XmlEvents {
public:
    explicit SharedStringsReader(ParsedPackage& book) : m_book(book) {}
    void start(std::string_view name, const XmlAttributes&) override {
        if (name == "si") {
            m_text.clear();
        } else if (name == "rPh") {
            ++m_phonetic; // reading aids, not part of the text
        } else if (name == "t" && m_phonetic == 0) {
            m_inText = true;
        }
    }
    void end(std::string_view name) override {
        if (name == "si") {
            addOfficeText(m_book.strings, m_text, false);
            m_book.checkKept();
        } else if (name == "rPh") {
            --m_phonetic;
        } else if (name == "t") {
            m_inText = false;
        }
    }
    void text(std::string_view value) override {
        if (m_inText)
            appendPiece(m_text, value);
    }

private:
    ParsedPackage& m_book;
    std::string m_text;
    int m_phonetic = 0;
    bool m_inText = false;
};

// Which cell formats (xf) show numbers as dates.
class StylesReader : public XmlEvents {
public:
    void start(std::string_view name, const XmlAttributes& a) override {
        if (name == "numFmt") {
            int id = -1;
            const std::string_view text = a.get("numFmtId");
            std::from_chars(text.data(), text.data() + text.size(), id);
            m_codes[id] = qtext(a.get("formatCode"));
        } else if (name == "cellXfs") {
            m_inCellXfs = true;
        } else if (name == "xf" && m_inCellXfs) {
            int id = 0;
            const std::string_view text = a.get("numFmtId");
            std::from_chars(text.data(), text.data() + text.size(), id);
            dateXf.push_back(isDate(id));
        }
    }
    void end(std::string_view name) override {
        if (name == "cellXfs")
            m_inCellXfs = false;
    }
    std::vector<bool> dateXf;

private:
    bool isDate(int id) const {
        const auto it = m_codes.find(id);
        return it != m_codes.end() ? isDateFormatCode(it->second) : isBuiltInDateFormat(id);
    }
    std::map<int, QString> m_codes;
    bool m_inCellXfs = false;
};

// "B12" as 0-based row and column; false when it is no cell reference.
bool parseReference(std::string_view text, int& row, int& column) {
    std::size_t i = 0;
    int c = 0;
    while (i < text.size() && text[i] >= 'A' && text[i] <= 'Z' && i < 3)
        c = c * 26 + (text[i++] - 'A' + 1);
    int r = 0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), r);
    if (c == 0 || error != std::errc() || end != text.data() + text.size() || r < 1)
        return false;
    row = r - 1;
    column = c - 1;
    return true;
}

// The cell types of the t attribute this reader tells apart.
enum class CellType { Number, Shared, Text, Boolean, Error, Date };

CellType cellTypeOf(std::string_view t) {
    if (t == "s")
        return CellType::Shared;
    if (t == "str" || t == "inlineStr")
        return CellType::Text;
    if (t == "b")
        return CellType::Boolean;
    if (t == "e")
        return CellType::Error;
    if (t == "d")
        return CellType::Date;
    return CellType::Number;
}

class SheetReader : public XmlEvents {
public:
    SheetReader(SheetBuilder& builder, ParsedPackage& book, std::size_t sharedCount,
                const std::vector<bool>& dateXf)
        : m_builder(builder), m_book(book), m_sharedCount(sharedCount), m_dateXf(dateXf) {}

    void start(std::string_view name, const XmlAttributes& a) override {
        if (name == "row") {
            int r = 0;
            const std::string_view text = a.get("r");
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), r);
            m_row = (!text.empty() && error == std::errc() && r >= 1) ? r - 1 : m_row + 1;
            m_column = -1;
        } else if (name == "c") {
            startCell(a);
        } else if (name == "v" || (name == "t" && m_inInline && m_phonetic == 0)) {
            m_collect = true;
            m_hasValue = true;
        } else if (name == "f") {
            m_hasFormula = true;
        } else if (name == "is") {
            m_inInline = true;
            m_hasValue = true;
        } else if (name == "rPh") {
            ++m_phonetic;
        }
    }

    void end(std::string_view name) override {
        if (name == "c")
            endCell();
        else if (name == "v" || name == "t")
            m_collect = false;
        else if (name == "is")
            m_inInline = false;
        else if (name == "rPh")
            --m_phonetic;
    }

    void text(std::string_view value) override {
        if (m_collect)
            appendPiece(m_value, value);
    }

private:
    void startCell(const XmlAttributes& a) {
        int row = m_row;
        int column = m_column + 1;
        const std::string_view reference = a.get("r");
        if (!reference.empty() && !parseReference(reference, row, column))
            throw PackageError{Fault::Damaged, {}};
        m_row = row;
        m_column = column;
        m_type = cellTypeOf(a.get("t"));
        m_xf = 0;
        const std::string_view style = a.get("s");
        std::from_chars(style.data(), style.data() + style.size(), m_xf);
        m_value.clear();
        m_hasValue = m_hasFormula = m_collect = m_inInline = false;
    }

    void endCell() {
        const bool text = m_type == CellType::Text;
        if (m_hasFormula && (!m_hasValue || (m_value.empty() && !text))) {
            // Saved without its result (some writers leave the computing to the application).
            m_builder.addError(m_row, m_column, kNoFormulaResult);
            return;
        }
        if (!m_hasValue || (m_value.empty() && !text)) {
            m_builder.noteRow(m_row); // a formatted blank
            return;
        }
        switch (m_type) {
        case CellType::Text:
            m_builder.addText(m_row, m_column, addOfficeText(m_book.strings, m_value, true));
            return;
        case CellType::Shared:
            m_builder.addText(m_row, m_column, sharedIndex());
            return;
        case CellType::Boolean:
            m_builder.addBoolean(m_row, m_column, m_value == "1" || m_value == "true");
            return;
        case CellType::Error:
            m_builder.addError(m_row, m_column, errorCodeOf(m_value));
            return;
        case CellType::Date:
            addDate();
            return;
        case CellType::Number:
            addNumber();
            return;
        }
    }

    std::uint32_t sharedIndex() const {
        std::size_t index = 0;
        const auto [end, error] =
            std::from_chars(m_value.data(), m_value.data() + m_value.size(), index);
        if (error != std::errc() || end != m_value.data() + m_value.size() ||
            index >= m_sharedCount)
            throw PackageError{Fault::Damaged, {}};
        return std::uint32_t(index);
    }

    void addDate() {
        double days = 0.0;
        if (!calendarDaysOf(m_value, days))
            throw PackageError{Fault::Damaged, {}};
        m_builder.addNumber(m_row, m_column, PackedCells::Calendar, days);
    }

    void addNumber() {
        double value = 0.0;
        if (!parseDecimal(m_value, value))
            throw PackageError{Fault::Damaged, {}};
        const bool date = m_xf < m_dateXf.size() && m_dateXf[m_xf];
        m_builder.addNumber(m_row, m_column, date ? PackedCells::Serial : PackedCells::Number,
                            value);
    }

    SheetBuilder& m_builder;
    ParsedPackage& m_book;
    std::size_t m_sharedCount;
    const std::vector<bool>& m_dateXf;
    int m_row = -1;
    int m_column = -1;
    CellType m_type = CellType::Number;
    std::size_t m_xf = 0;
    std::string m_value;
    bool m_hasValue = false;
    bool m_hasFormula = false;
    bool m_collect = false;
    bool m_inInline = false;
    int m_phonetic = 0;
};

// The value of four hexadecimal digits; -1 when they are none.
int hexValue(const char16_t* digits) {
    int value = 0;
    for (int k = 0; k < 4; ++k) {
        const char16_t c = digits[k];
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

// Decodes the escapes in place; gives the decoded length.
std::size_t decodeOfficeEscapes(char16_t* text, std::size_t size) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const int code =
            text[i] == u'_' && i + 6 < size && text[i + 1] == u'x' && text[i + 6] == u'_'
                ? hexValue(text + i + 2)
                : -1;
        if (code >= 0) {
            text[out++] = char16_t(code);
            i += 6;
        } else {
            text[out++] = text[i];
        }
    }
    return out;
}

Part workbookPart(const ZipPackage& zip) {
    for (const auto& [id, relation] : relationships(zip, Part())) {
        if (endsWith(relation.type, "/officeDocument") && zip.has(relation.target))
            return relation.target;
    }
    return "xl/workbook.xml";
}

const Relationship* relationOfType(const std::map<std::string, Relationship>& relations,
                                   std::string_view type) {
    for (const auto& [id, relation] : relations) {
        if (endsWith(relation.type, type))
            return &relation;
    }
    return nullptr;
}

} // namespace

bool isOfficeOpenXml(const ZipPackage& zip) {
    return zip.has("[Content_Types].xml") && zip.has(workbookPart(zip));
}

QString decodeOfficeEscapes(std::string_view text) {
    QString decoded = qtext(text);
    decoded.resize(qsizetype(decodeOfficeEscapes(reinterpret_cast<char16_t*>(decoded.data()),
                                                 std::size_t(decoded.size()))));
    return decoded;
}

std::uint32_t addOfficeText(TextPool& pool, std::string_view text, bool repeated) {
    pool.appendUtf8(text);
    std::vector<char16_t>& characters = pool.characters();
    const std::size_t start = characters.size() - std::size_t(pool.pending().size());
    characters.resize(start +
                      decodeOfficeEscapes(characters.data() + start, characters.size() - start));
    return repeated ? pool.addRepeated() : pool.add();
}

ParsedPackage readOfficeOpenXml(const ZipPackage& zip) {
    ParsedPackage book;
    const Part workbook = workbookPart(zip);
    WorkbookReader workbookReader;
    parsePart(zip, workbook, workbookReader);
    book.date1904 = workbookReader.date1904;
    const std::map<std::string, Relationship> relations = relationships(zip, workbook);

    if (const Relationship* strings = relationOfType(relations, "/sharedStrings")) {
        SharedStringsReader reader(book);
        parsePart(zip, strings->target, reader);
    }
    const std::size_t sharedCount = book.strings.size();
    StylesReader styles;
    if (const Relationship* part = relationOfType(relations, "/styles"))
        parsePart(zip, part->target, styles);

    for (const SheetEntry& entry : workbookReader.sheets) {
        const auto it = relations.find(entry.relationship);
        if (it == relations.end())
            throw PackageError{Fault::MissingPart, entry.name};
        // Chart, dialog and macro sheets are not worksheets.
        if (!endsWith(it->second.type, "/worksheet"))
            continue;
        PackageSheet& sheet = book.worksheets.emplace_back();
        sheet.name = entry.name;
        SheetBuilder builder(sheet, book);
        SheetReader reader(builder, book, sharedCount, styles.dateXf);
        parsePart(zip, it->second.target, reader);
        builder.finish();
    }
    return book;
}

} // namespace kestrel::package
