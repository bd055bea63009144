#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kestrel::xls {

// Little-endian reads from byte buffers of untrusted files. The caller checks the bounds; the
// reads go through memcpy so that no unaligned access happens.
inline std::uint16_t readU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t readU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t readU64(const unsigned char* p) {
    return static_cast<std::uint64_t>(readU32(p)) |
           (static_cast<std::uint64_t>(readU32(p + 4)) << 32);
}

inline double readF64(const unsigned char* p) {
    const std::uint64_t bits = readU64(p);
    double value = 0.0;
    static_assert(sizeof(value) == sizeof(bits));
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// Why a file could not be read; the workbook layer turns it into a message naming the file.
enum class FileFault { NotWorkbook, OldFormat, Encrypted, Damaged, TooLarge };

struct FormatError {
    FileFault fault;
};

[[noreturn]] inline void fail(FileFault fault) {
    throw FormatError{fault};
}
[[noreturn]] inline void damaged() {
    fail(FileFault::Damaged);
}

} // namespace kestrel::xls
