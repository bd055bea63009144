#include "workbook/xls/xls_sst.h"

#include <algorithm>
#include <limits>

namespace kestrel::xls {

std::uint32_t TextPool::add() {
    // A file of at most 256 MB holds far fewer characters; a larger count is damage.
    if (m_chars.size() > std::numeric_limits<std::uint32_t>::max()) {
        damaged();
    }
    m_starts.push_back(std::uint32_t(m_chars.size()));
    return size() - 1;
}

std::uint32_t TextPool::add(QStringView text) {
    const auto* begin = reinterpret_cast<const char16_t*>(text.utf16());
    m_chars.insert(m_chars.end(), begin, begin + text.size());
    return add();
}

void TextPool::reserve(std::size_t texts, std::size_t characters) {
    m_starts.reserve(m_starts.size() + texts);
    m_chars.reserve(m_chars.size() + characters);
}

void readSharedStrings(std::span<const Fragment> fragments, TextPool& out) {
    FragmentReader reader(fragments);
    reader.u32(); // total references, not needed
    const std::uint32_t unique = reader.u32();
    std::size_t bytes = 0;
    for (const Fragment& fragment : fragments) {
        bytes += fragment.size;
    }
    // Every string takes at least three bytes and every character at least one, which bounds
    // what a lying count can reserve. Capacity never written holds no memory.
    out.reserve(std::min<std::size_t>(unique, bytes / 3), bytes);
    for (std::uint32_t i = 0; i < unique && !reader.atEnd(); ++i) {
        reader.appendUnicodeString(false, out.characters());
        out.add();
    }
}

} // namespace kestrel::xls
