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
        parseXml(zip.read(part), reader, part);
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
    explicit SharedStringsReader(std::vector<QString>& strings) : m_strings(strings) {}
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
        if (name == "si")
            m_strings.push_back(decodeOfficeEscapes(m_text));
        else if (name == "rPh")
            --m_phonetic;
        else if (name == "t")
            m_inText = false;
    }
    void text(std::string_view value) override {
        if (m_inText)
            m_text += value;
    }

private:
    std::vector<QString>& m_strings;
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
            m_value += value;
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
        m_type = std::string(a.get("t"));
        m_xf = 0;
        const std::string_view style = a.get("s");
        std::from_chars(style.data(), style.data() + style.size(), m_xf);
        m_value.clear();
        m_hasValue = m_hasFormula = m_collect = m_inInline = false;
    }

    void endCell() {
        const bool text = m_type == "str" || m_type == "inlineStr";
        if (m_hasFormula && (!m_hasValue || (m_value.empty() && !text))) {
            // Saved without its result (some writers leave the computing to the application).
            m_builder.addCode(m_row, m_column, PackageCell::Error, kNoFormulaResult);
            return;
        }
        if (!m_hasValue || (m_value.empty() && !text)) {
            m_builder.noteRow(m_row); // a formatted blank
            return;
        }
        if (text) {
            m_builder.addText(m_row, m_column, appendText(decodeOfficeEscapes(m_value)));
        } else if (m_type == "s") {
            std::size_t index = 0;
            if (!parseWhole(m_value, index) || index >= m_sharedCount)
                throw PackageError{Fault::Damaged, {}};
            m_builder.addText(m_row, m_column, std::uint32_t(index));
        } else if (m_type == "b") {
            m_builder.addCode(m_row, m_column, PackageCell::Boolean,
                              m_value == "1" || m_value == "true" ? 1 : 0);
        } else if (m_type == "e") {
            m_builder.addCode(m_row, m_column, PackageCell::Error, errorCodeOf(m_value));
        } else if (m_type == "d") {
            double days = 0.0;
            if (!calendarDaysOf(m_value, days))
                throw PackageError{Fault::Damaged, {}};
            m_builder.addNumber(m_row, m_column, PackageCell::Calendar, days);
        } else {
            addNumber();
        }
    }

    void addNumber() {
        double value = 0.0;
        if (!parseDecimal(m_value, value))
            throw PackageError{Fault::Damaged, {}};
        const bool date = m_xf < m_dateXf.size() && m_dateXf[m_xf];
        m_builder.addNumber(m_row, m_column, date ? PackageCell::Serial : PackageCell::Number,
                            value);
    }

    static bool parseWhole(const std::string& text, std::size_t& value) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return !text.empty() && error == std::errc() && end == text.data() + text.size();
    }

    std::uint32_t appendText(QString text) {
        m_book.strings.push_back(std::move(text));
        return std::uint32_t(m_book.strings.size() - 1);
    }

    SheetBuilder& m_builder;
    ParsedPackage& m_book;
    std::size_t m_sharedCount;
    const std::vector<bool>& m_dateXf;
    int m_row = -1;
    int m_column = -1;
    std::string m_type;
    std::size_t m_xf = 0;
    std::string m_value;
    bool m_hasValue = false;
    bool m_hasFormula = false;
    bool m_collect = false;
    bool m_inInline = false;
    int m_phonetic = 0;
};

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
    if (text.find("_x") == std::string_view::npos)
        return qtext(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned code = 0;
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
            const auto [end, error] =
                std::from_chars(text.data() + i + 2, text.data() + i + 6, code, 16);
            if (error == std::errc() && end == text.data() + i + 6) {
                const QByteArray utf8 = QString(QChar(char16_t(code))).toUtf8();
                out.append(utf8.constData(), std::size_t(utf8.size()));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return QString::fromStdString(out);
}

ParsedPackage readOfficeOpenXml(const ZipPackage& zip) {
    ParsedPackage book;
    const Part workbook = workbookPart(zip);
    WorkbookReader workbookReader;
    parseXml(zip.read(workbook), workbookReader, workbook);
    book.date1904 = workbookReader.date1904;
    const std::map<std::string, Relationship> relations = relationships(zip, workbook);

    if (const Relationship* strings = relationOfType(relations, "/sharedStrings")) {
        SharedStringsReader reader(book.strings);
        parseXml(zip.read(strings->target), reader, strings->target);
    }
    const std::size_t sharedCount = book.strings.size();
    StylesReader styles;
    if (const Relationship* part = relationOfType(relations, "/styles"))
        parseXml(zip.read(part->target), styles, part->target);

    std::size_t cellCount = 0;
    for (const SheetEntry& entry : workbookReader.sheets) {
        const auto it = relations.find(entry.relationship);
        if (it == relations.end())
            throw PackageError{Fault::MissingPart, entry.name};
        // Chart, dialog and macro sheets are not worksheets.
        if (!endsWith(it->second.type, "/worksheet"))
            continue;
        PackageSheet& sheet = book.worksheets.emplace_back();
        sheet.name = entry.name;
        SheetBuilder builder(sheet, cellCount);
        SheetReader reader(builder, book, sharedCount, styles.dateXf);
        try {
            parseXml(zip.read(it->second.target), reader, it->second.target);
        } catch (PackageError& error) {
            if (error.part.isEmpty())
                error.part = QString::fromStdString(it->second.target);
            throw;
        }
        sheet.finish();
    }
    return book;
}

} // namespace kestrel::package
