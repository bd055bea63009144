#pragma once

#include "workbook/xls/xls_records.h"

#include <QStringView>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrel::xls {

// The texts of a workbook's cells in one UTF-16 buffer, each found by its index: a few bytes a
// text instead of a string object and an allocation each.
class TextPool {
public:
    std::uint32_t size() const { return std::uint32_t(m_starts.size() - 1); }
    QStringView at(std::uint32_t index) const {
        const std::uint32_t start = m_starts[index];
        return QStringView(m_chars.data() + start, qsizetype(m_starts[index + 1] - start));
    }
    // Texts are written by appending their characters here, then closing them with add().
    std::vector<char16_t>& characters() { return m_chars; }
    // Closes the text written since the last one; gives its index.
    std::uint32_t add();
    std::uint32_t add(QStringView text);
    void reserve(std::size_t texts, std::size_t characters);

private:
    std::vector<char16_t> m_chars;
    std::vector<std::uint32_t> m_starts{0}; // text i is m_chars[m_starts[i] .. m_starts[i + 1]]
};

// Reads the shared string table (the SST record and its CONTINUE records) and adds its strings
// to out. A count larger than the strings present is tolerated, as some writers get it wrong; a
// string cut off in the middle is damage.
void readSharedStrings(std::span<const Fragment> fragments, TextPool& out);

} // namespace kestrel::xls
