#include "workbook/xls_sst.h"

#include <algorithm>

namespace kestrel::xls {

void readSharedStrings(std::span<const Fragment> fragments, std::vector<QString>& out) {
    FragmentReader reader(fragments);
    reader.u32(); // total references, not needed
    const std::uint32_t unique = reader.u32();
    std::size_t bytes = 0;
    for (const Fragment& fragment : fragments) {
        bytes += fragment.size;
    }
    // Every string takes at least three bytes, which bounds what a lying count can reserve.
    out.reserve(out.size() + std::min<std::size_t>(unique, bytes / 3));
    for (std::uint32_t i = 0; i < unique && !reader.atEnd(); ++i) {
        out.push_back(reader.unicodeString(false));
    }
}

} // namespace kestrel::xls
