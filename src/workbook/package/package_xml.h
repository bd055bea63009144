#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrel::package {

class ZipPackage;

// The most bytes one tag (with its attributes), comment or other markup may take, and the most
// a reader collects for one text: far beyond any spreadsheet's, small enough to hold.
constexpr std::size_t kMaxPieceBytes = std::size_t(16) << 20;

// One element's attributes, by local name (namespace prefixes dropped, so that the Strict and
// the transitional Office Open XML namespaces, and any prefix a writer chose, read alike). The
// values are valid while the element's start is reported.
class XmlAttributes {
public:
    // The empty text when absent.
    std::string_view get(std::string_view name) const {
        for (const Item& item : m_items) {
            if (item.name == name)
                return item.value;
        }
        return {};
    }
    bool has(std::string_view name) const {
        for (const Item& item : m_items) {
            if (item.name == name)
                return true;
        }
        return false;
    }
    // Whether any attribute of that local name (whatever its prefix) has that value.
    bool has(std::string_view name, std::string_view value) const {
        for (const Item& item : m_items) {
            if (item.name == name && item.value == value)
                return true;
        }
        return false;
    }

private:
    friend class XmlParser;
    struct Item {
        std::string_view name;
        std::string_view value;
    };
    std::vector<Item> m_items;
};

// What a part reader is told while a part is parsed: element names are local names.
class XmlEvents {
public:
    virtual ~XmlEvents() = default;
    virtual void start(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual void end(std::string_view name) = 0;
    // Character data inside the root element, references decoded and line ends made line
    // feeds; one run of text may come in several pieces.
    virtual void text(std::string_view) {}
};

// A streaming XML parser for the parts of a package: the input is given in blocks of any size
// and parsed as far as it is complete, so that a part is never held whole. It reads what
// spreadsheet writers write (UTF-8, elements, attributes, character and entity references,
// CDATA, comments, processing instructions, a document type declaration it skips) and refuses
// malformed XML, mismatched end tags and undeclared entities by throwing PackageError
// (Damaged, without a part name).
class XmlParser {
public:
    explicit XmlParser(XmlEvents& events) : m_events(events) {}

    // Room for `size` more bytes after the input not yet parsed.
    char* space(std::size_t size);
    // Parses the `size` bytes just written into space(); `last` when the input ends there.
    void parse(std::size_t size, bool last);
    // The bytes of an incomplete piece kept for the next block.
    std::size_t pending() const { return m_end - m_begin; }

private:
    const char* step(const char* at, const char* end, bool last);
    const char* text(const char* at, const char* end, bool last);
    const char* markup(const char* at, const char* end);
    const char* startTag(const char* at, const char* end);
    const char* endTag(const char* at, const char* end);
    const char* special(const char* at, const char* end);
    void emitText(const char* at, const char* end);

    XmlEvents& m_events;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0; // the input not yet parsed: m_buffer[m_begin .. m_end]
    std::size_t m_end = 0;
    bool m_started = false;
    bool m_rootSeen = false;
    bool m_done = false; // the root element has ended: the rest is not looked at
    std::string m_open;  // the qualified names of the open elements, one after another
    std::vector<std::size_t> m_openStarts;
    XmlAttributes m_attributes;
    std::string m_decoded; // attribute values and texts with references decoded
    std::vector<std::pair<std::size_t, std::size_t>> m_decodedAt; // attribute, offset in m_decoded
};

// Appends a piece of a text a reader collects; throws PackageError (TooLarge) past
// kMaxPieceBytes.
void appendPiece(std::string& text, std::string_view piece);

// Parses a part of the package as it is inflated. Throws PackageError naming the part when it
// is missing, does not inflate or is malformed.
void parsePart(const ZipPackage& zip, std::string_view part, XmlEvents& events);

} // namespace kestrel::package
