#include "workbook/package/package_xml.h"

#include "workbook/package/package_zip.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kestrel::package {
namespace {

constexpr std::size_t kBlock = 128 * 1024;
// "&#x10FFFF;" with room for leading zeros; a longer reference is malformed.
constexpr std::ptrdiff_t kMaxReference = 32;

[[noreturn]] void malformed() {
    throw PackageError{Fault::Damaged, {}};
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

const char* skipSpace(const char* at, const char* end) {
    while (at < end && isSpace(*at))
        ++at;
    return at;
}

// The end of a name: a blank, '/', '>', '=' or the end of the input.
const char* nameEnd(const char* at, const char* end) {
    while (at < end && !isSpace(*at) && *at != '/' && *at != '>' && *at != '=')
        ++at;
    return at;
}

std::string_view localName(std::string_view name) {
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

const char* find(const char* at, const char* end, std::string_view what) {
    const std::string_view text(at, std::size_t(end - at));
    const std::size_t found = text.find(what);
    return found == std::string_view::npos ? nullptr : at + found;
}

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

unsigned characterCode(std::string_view digits, int base) {
    unsigned code = 0;
    if (digits.empty())
        malformed();
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            malformed();
        code = code * unsigned(base) + unsigned(digit);
        if (code > 0x10FFFF)
            malformed();
    }
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
        malformed();
    return code;
}

// Decodes the reference at `at` ('&') into out; gives the position after its ';'.
const char* decodeReference(const char* at, const char* end, std::string& out) {
    const char* semicolon = static_cast<const char*>(
        std::memchr(at, ';', std::size_t(std::min(end - at, kMaxReference))));
    if (!semicolon)
        malformed();
    const std::string_view name(at + 1, std::size_t(semicolon - at - 1));
    if (name == "lt")
        out += '<';
    else if (name == "gt")
        out += '>';
    else if (name == "amp")
        out += '&';
    else if (name == "quot")
        out += '"';
    else if (name == "apos")
        out += '\'';
    else if (name.size() > 1 && name[0] == '#' && (name[1] == 'x' || name[1] == 'X'))
        appendUtf8(out, characterCode(name.substr(2), 16));
    else if (!name.empty() && name[0] == '#')
        appendUtf8(out, characterCode(name.substr(1), 10));
    else
        malformed(); // no document type is read, so no other entity is declared
    return semicolon + 1;
}

// Text or an attribute value with references decoded and line ends as line feeds; in an
// attribute value every blank is a space, as XML normalizes them.
void decode(const char* at, const char* end, bool attribute, std::string& out) {
    while (at < end) {
        const char c = *at;
        if (c == '&') {
            at = decodeReference(at, end, out);
            continue;
        }
        if (c == '\r') {
            if (at + 1 < end && at[1] == '\n')
                ++at;
            out += attribute ? ' ' : '\n';
        } else {
            out += attribute && (c == '\n' || c == '\t') ? ' ' : c;
        }
        ++at;
    }
}

bool needsDecoding(const char* at, const char* end, bool attribute) {
    for (; at < end; ++at) {
        const char c = *at;
        if (c == '&' || c == '\r' || (attribute && (c == '\n' || c == '\t')))
            return true;
    }
    return false;
}

} // namespace

char* XmlParser::space(std::size_t size) {
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_buffer.size() < m_end + size)
        m_buffer.resize(m_end + size);
    return m_buffer.data() + m_end;
}

void XmlParser::parse(std::size_t size, bool last) {
    m_end += size;
    const char* const base = m_buffer.data();
    const char* at = base + m_begin;
    const char* const end = base + m_end;
    if (!m_started) {
        if (end - at < 3 && !last)
            return;
        m_started = true;
        if (end - at >= 2 &&
            (std::memcmp(at, "\xFF\xFE", 2) == 0 || std::memcmp(at, "\xFE\xFF", 2) == 0))
            malformed(); // UTF-16: no spreadsheet writer uses it
        if (end - at >= 3 && std::memcmp(at, "\xEF\xBB\xBF", 3) == 0)
            at += 3;
    }
    while (at < end && !m_done) {
        const char* next = step(at, end, last);
        if (!next)
            break;
        at = next;
    }
    if (m_done)
        at = end;
    m_begin = std::size_t(at - base);
    if (m_end - m_begin > kMaxPieceBytes)
        throw PackageError{Fault::TooLarge, {}};
    if (last && (at < end || !m_rootSeen || !m_openStarts.empty()))
        malformed(); // cut short
}

// One piece of text or markup from `at`; nullptr when it is not complete in the input.
const char* XmlParser::step(const char* at, const char* end, bool last) {
    if (*at != '<')
        return text(at, end, last);
    if (end - at < 2)
        return nullptr;
    return markup(at, end);
}

const char* XmlParser::text(const char* at, const char* end, bool last) {
    const auto* open = static_cast<const char*>(std::memchr(at, '<', std::size_t(end - at)));
    const char* cut = open ? open : end;
    if (!open && !last) {
        // Keep back a reference or a carriage return the next block may complete.
        for (const char* p = end; p > at && end - p < kMaxReference;) {
            --p;
            if (*p == ';')
                break;
            if (*p == '&') {
                cut = p;
                break;
            }
        }
        if (cut == end && end[-1] == '\r')
            --cut;
        if (cut == at)
            return nullptr;
    }
    emitText(at, cut);
    return cut;
}

void XmlParser::emitText(const char* at, const char* end) {
    if (m_openStarts.empty() || at == end)
        return; // outside the root element
    if (!needsDecoding(at, end, false)) {
        m_events.text(std::string_view(at, std::size_t(end - at)));
        return;
    }
    m_decoded.clear();
    decode(at, end, false, m_decoded);
    m_events.text(m_decoded);
}

const char* XmlParser::markup(const char* at, const char* end) {
    switch (at[1]) {
    case '/':
        return endTag(at, end);
    case '!':
    case '?':
        return special(at, end);
    default:
        return startTag(at, end);
    }
}

const char* XmlParser::startTag(const char* at, const char* end) {
    const char* nameStop = nameEnd(at + 1, end);
    if (nameStop == end)
        return nullptr;
    if (nameStop == at + 1)
        malformed();
    const std::string_view name(at + 1, std::size_t(nameStop - at - 1));
    std::vector<XmlAttributes::Item>& items = m_attributes.m_items;
    items.clear();
    m_decoded.clear();
    const char* p = nameStop;
    bool empty = false;
    for (;;) {
        p = skipSpace(p, end);
        if (p == end)
            return nullptr;
        if (*p == '>') {
            ++p;
            break;
        }
        if (*p == '/') {
            if (p + 1 == end)
                return nullptr;
            if (p[1] != '>')
                malformed();
            empty = true;
            p += 2;
            break;
        }
        const char* attributeStop = nameEnd(p, end);
        const char* equals = skipSpace(attributeStop, end);
        if (equals == end)
            return nullptr;
        if (attributeStop == p || *equals != '=')
            malformed();
        const char* quote = skipSpace(equals + 1, end);
        if (quote == end)
            return nullptr;
        if (*quote != '"' && *quote != '\'')
            malformed();
        const auto* close =
            static_cast<const char*>(std::memchr(quote + 1, *quote, std::size_t(end - quote - 1)));
        if (!close)
            return nullptr;
        if (std::memchr(quote + 1, '<', std::size_t(close - quote - 1)))
            malformed();
        std::string_view value(quote + 1, std::size_t(close - quote - 1));
        if (needsDecoding(quote + 1, close, true)) {
            // Placed once every value is decoded: m_decoded may move while it grows.
            const std::size_t offset = m_decoded.size();
            decode(quote + 1, close, true, m_decoded);
            value = std::string_view(nullptr, m_decoded.size() - offset);
            m_decodedAt.push_back({items.size(), offset});
        }
        items.push_back({localName(std::string_view(p, std::size_t(attributeStop - p))), value});
        p = close + 1;
    }
    for (const auto& [item, offset] : m_decodedAt)
        items[item].value = std::string_view(m_decoded.data() + offset, items[item].value.size());
    m_decodedAt.clear();
    m_rootSeen = true;
    const std::string_view local = localName(name);
    m_events.start(local, m_attributes);
    if (empty) {
        m_events.end(local);
        m_done = m_openStarts.empty();
    } else {
        m_openStarts.push_back(m_open.size());
        m_open.append(name);
    }
    return p;
}

const char* XmlParser::endTag(const char* at, const char* end) {
    const auto* close = static_cast<const char*>(std::memchr(at, '>', std::size_t(end - at)));
    if (!close)
        return nullptr;
    const char* nameStop = nameEnd(at + 2, close);
    if (skipSpace(nameStop, close) != close || m_openStarts.empty())
        malformed();
    const std::string_view name(at + 2, std::size_t(nameStop - at - 2));
    if (std::string_view(m_open).substr(m_openStarts.back()) != name)
        malformed(); // not the element that is open
    m_open.resize(m_openStarts.back());
    m_openStarts.pop_back();
    m_events.end(localName(name));
    m_done = m_openStarts.empty();
    return close + 1;
}

// Comments, processing instructions, CDATA sections and a document type declaration.
const char* XmlParser::special(const char* at, const char* end) {
    const std::string_view head(at, std::size_t(std::min<std::ptrdiff_t>(end - at, 9)));
    if (at[1] == '?') {
        const char* close = find(at + 2, end, "?>");
        return close ? close + 2 : nullptr;
    }
    if (head.size() >= 4 && head.substr(0, 4) == "<!--") {
        const char* close = find(at + 4, end, "-->");
        return close ? close + 3 : nullptr;
    }
    if (head == "<![CDATA[") {
        const char* close = find(at + 9, end, "]]>");
        if (!close)
            return nullptr;
        if (!m_openStarts.empty() && close > at + 9) {
            m_decoded.clear();
            for (const char* p = at + 9; p < close; ++p) {
                if (*p != '\r')
                    m_decoded += *p;
                else if (p + 1 == close || p[1] != '\n')
                    m_decoded += '\n';
            }
            m_events.text(m_decoded);
        }
        return close + 3;
    }
    if (head == "<!DOCTYPE") {
        // Skipped with its internal subset; its entities are not declared here.
        const char* p = at + 9;
        while (p < end && *p != '>' && *p != '[')
            ++p;
        if (p < end && *p == '[') {
            p = find(p, end, "]");
            p = p ? skipSpace(p + 1, end) : end;
        }
        if (p == end)
            return nullptr;
        if (*p != '>')
            malformed();
        return p + 1;
    }
    for (const std::string_view marker : {"<!--", "<![CDATA[", "<!DOCTYPE"}) {
        if (head.size() < marker.size() && marker.substr(0, head.size()) == head)
            return nullptr; // the rest of the marker may follow
    }
    malformed();
}

void appendPiece(std::string& text, std::string_view piece) {
    if (text.size() + piece.size() > kMaxPieceBytes)
        throw PackageError{Fault::TooLarge, {}};
    text += piece;
}

void parsePart(const ZipPackage& zip, std::string_view part, XmlEvents& events) {
    const ZipPackage::Entry& entry = zip.entry(part);
    ZipPackage::PartReader reader(zip, entry);
    try {
        XmlParser parser(events);
        for (;;) {
            // A piece longer than a block is parsed again from its start with each block:
            // blocks as large as what is kept make that linear.
            const std::size_t block = std::max(kBlock, parser.pending());
            const std::size_t read = reader.read(parser.space(block), block);
            parser.parse(read, read == 0);
            if (read == 0)
                return;
        }
    } catch (PackageError& error) {
        if (error.part.isEmpty())
            error.part = reader.partName();
        throw;
    } catch (const std::bad_alloc&) {
        throw PackageError{Fault::TooLarge, reader.partName()};
    }
}

} // namespace kestrel::package
