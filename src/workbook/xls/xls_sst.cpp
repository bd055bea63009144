#include "workbook/xls/xls_sst.h"

#include <algorithm>

namespace kestrel::xls {

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
