#pragma once

#include "workbook/xls/xls_bytes.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrel::xls {

namespace record {
constexpr std::uint16_t kFormula = 0x0006;
// The FORMULA ids of Excel 3 and 4; some writers still use them in later files.
constexpr std::uint16_t kFormulaBiff3 = 0x0206;
constexpr std::uint16_t kFormulaBiff4 = 0x0406;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kWsBool = 0x0081;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kMulBlank = 0x00BE;
constexpr std::uint16_t kRString = 0x00D6;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kBlank = 0x0201;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kRk = 0x027E;
constexpr std::uint16_t kFormat = 0x041E;
constexpr std::uint16_t kBof = 0x0809;
} // namespace record

// The data of one record, or of one CONTINUE record carrying on its predecessor.
struct Fragment {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

struct Record {
    std::uint16_t id = 0;
    Fragment body;
};

// Walks the records of a BIFF stream. A record reaching past the end of the stream is damage.
class RecordStream {
public:
    RecordStream(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}

    void seek(std::size_t offset) { m_pos = offset; }
    std::size_t position() const { return m_pos; }
    std::size_t size() const { return m_size; }
    // False at the end of the stream.
    bool next(Record& out);
    // The record and the CONTINUE records right after it, which are consumed.
    std::vector<Fragment> withContinues(const Record& first);

private:
    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Reads a record's data that may go on in CONTINUE records. Plain reads cross fragment
// boundaries transparently; character data follows the BIFF8 rule that a continuing fragment
// starts with a fresh flags byte choosing 8- or 16-bit characters.
class FragmentReader {
public:
    explicit FragmentReader(std::span<const Fragment> fragments) : m_fragments(fragments) {}
    explicit FragmentReader(const Fragment& single) : m_fragments(&single, 1) {}

    bool atEnd();
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    void skip(std::size_t count);
    // count bytes as they are, across fragment boundaries.
    QByteArray bytes(std::size_t count);
    // count characters, 16-bit ones when highByte is set, else the low bytes of UTF-16,
    // appended to out.
    void appendChars(std::size_t count, bool highByte, std::vector<char16_t>& out);
    // BIFF8 XLUnicodeString: a 16-bit (or 8-bit, when shortLength) count, a flags byte and
    // the characters, skipping rich-text runs and phonetic data when present.
    void appendUnicodeString(bool shortLength, std::vector<char16_t>& out);
    QString unicodeString(bool shortLength);

private:
    void settle();
    std::size_t available() const {
        return m_index < m_fragments.size() ? m_fragments[m_index].size - m_offset : 0;
    }

    std::span<const Fragment> m_fragments;
    std::size_t m_index = 0;
    std::size_t m_offset = 0;
};

} // namespace kestrel::xls
