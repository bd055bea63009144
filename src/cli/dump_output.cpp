#include "cli/dump_output.h"

#include <QString>
#include <algorithm>
#include <cstdio>

namespace kestrel::xlsdump {
namespace {

QString escaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The escape written for a character; nullptr when it stands for itself.
const char* escapeOf(char16_t unit) {
    switch (unit) {
    case u'\t':
        return "\\t";
    case u'\r':
        return "\\r";
    case u'\n':
        return "\\n";
    case u'\\':
        return "\\\\";
    default:
        return nullptr;
    }
}

} // namespace

void Output::appendEscaped(QStringView text) {
    const std::size_t start = m_size;
    char* out = room(3 * std::size_t(text.size())); // the most a character takes
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x80) {
            if (unit >= u' ' && unit != u'\\') {
                *out++ = char(unit); // most characters: nothing to escape
            } else if (const char* escape = escapeOf(unit)) {
                *out++ = escape[0];
                *out++ = escape[1];
            } else {
                *out++ = char(unit);
            }
        } else if (unit < 0x800) {
            *out++ = char(0xC0 | (unit >> 6));
            *out++ = char(0x80 | (unit & 0x3F));
        } else if (!c.isSurrogate()) {
            *out++ = char(0xE0 | (unit >> 12));
            *out++ = char(0x80 | ((unit >> 6) & 0x3F));
            *out++ = char(0x80 | (unit & 0x3F));
        } else {
            // Surrogates (pairs, or lone ones that UTF-8 cannot hold): Qt's encoder decides.
            m_size = start;
            append(escaped(text).toStdString());
            return;
        }
    }
    commit(out);
}

// The escaped characters are ASCII, which no byte of a multi-byte UTF-8 sequence is.
void Output::appendEscapedUtf8(std::string_view text) {
    char* out = room(2 * text.size());
    for (const char c : text) {
        if (const char* escape = escapeOf(static_cast<unsigned char>(c))) {
            *out++ = escape[0];
            *out++ = escape[1];
        } else {
            *out++ = c;
        }
    }
    commit(out);
}

bool needsEscape(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return escapeOf(static_cast<unsigned char>(c)) != nullptr; });
}
} // namespace kestrel::xlsdump
