#pragma once

#include <QStringView>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrel {

// The texts of a workbook's cells in one UTF-16 buffer, each found by its index: a few bytes a
// text instead of a string object and an allocation each. Both readers keep their texts here.
class TextPool {
public:
    std::uint32_t size() const { return std::uint32_t(m_starts.size() - 1); }
    QStringView at(std::uint32_t index) const {
        const std::uint32_t start = m_starts[index];
        return QStringView(m_chars.data() + start, qsizetype(m_starts[index + 1] - start));
    }
    // Texts are written by appending their characters here, then closing them with add().
    std::vector<char16_t>& characters() { return m_chars; }
    // Appends UTF-8 (an invalid sequence becomes U+FFFD) to the text being written.
    void appendUtf8(std::string_view text);
    // The characters written since the last text was closed.
    QStringView pending() const {
        return QStringView(m_chars.data() + m_starts.back(),
                           qsizetype(m_chars.size() - m_starts.back()));
    }
    // Closes the text written since the last one; gives its index. Throws std::bad_alloc when
    // the pool would outgrow its 32-bit offsets.
    std::uint32_t add();
    std::uint32_t add(QStringView text);
    // Closes the pending text, or drops it for an equal one among the last texts closed here:
    // a text repeated down a column (a type, a flag, a date) is kept once.
    std::uint32_t addRepeated();
    void reserve(std::size_t texts, std::size_t characters);
    // The memory the texts take.
    std::size_t bytes() const {
        return m_chars.size() * sizeof(char16_t) + m_starts.size() * sizeof(std::uint32_t);
    }

private:
    std::vector<char16_t> m_chars;
    std::vector<std::uint32_t> m_starts{0}; // text i is m_chars[m_starts[i] .. m_starts[i + 1]]
    struct Recent {
        std::uint32_t hash;
        std::uint32_t index;
    };
    std::vector<Recent> m_recent; // by hash: a text closed lately
};

} // namespace kestrel
