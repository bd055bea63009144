#include "workbook/xls/xls_records.h"

#include <QtEndian>
#include <algorithm>

namespace kestrel::xls {

bool RecordStream::next(Record& out) {
    if (m_pos >= m_size) {
        return false;
    }
    if (m_size - m_pos < 4) {
        damaged();
    }
    const unsigned char* header = m_data + m_pos;
    const std::size_t length = readU16(header + 2);
    if (m_size - m_pos - 4 < length) {
        damaged();
    }
    out.id = readU16(header);
    out.body = Fragment{header + 4, length};
    m_pos += 4 + length;
    return true;
}

std::vector<Fragment> RecordStream::withContinues(const Record& first) {
    std::vector<Fragment> fragments{first.body};
    while (m_size - m_pos >= 4 && readU16(m_data + m_pos) == record::kContinue) {
        Record next;
        this->next(next);
        fragments.push_back(next.body);
    }
    return fragments;
}

// Moves past exhausted fragments so that m_offset points at a readable byte if any.
void FragmentReader::settle() {
    while (m_index < m_fragments.size() && m_offset >= m_fragments[m_index].size) {
        ++m_index;
        m_offset = 0;
    }
}

bool FragmentReader::atEnd() {
    settle();
    return m_index >= m_fragments.size();
}

std::uint8_t FragmentReader::u8() {
    settle();
    if (m_index >= m_fragments.size()) {
        damaged();
    }
    return m_fragments[m_index].data[m_offset++];
}

std::uint16_t FragmentReader::u16() {
    if (available() >= 2) {
        const std::uint16_t value = readU16(m_fragments[m_index].data + m_offset);
        m_offset += 2;
        return value;
    }
    const std::uint16_t low = u8();
    return static_cast<std::uint16_t>(low | (u8() << 8));
}

std::uint32_t FragmentReader::u32() {
    const std::uint32_t low = u16();
    return low | (static_cast<std::uint32_t>(u16()) << 16);
}

void FragmentReader::skip(std::size_t count) {
    while (count > 0) {
        settle();
        if (m_index >= m_fragments.size()) {
            damaged();
        }
        const std::size_t step = std::min(count, available());
        m_offset += step;
        count -= step;
    }
}

QByteArray FragmentReader::bytes(std::size_t count) {
    QByteArray out;
    out.reserve(qsizetype(std::min<std::size_t>(count, 65536)));
    while (count > 0) {
        settle();
        if (m_index >= m_fragments.size()) {
            damaged();
        }
        const std::size_t step = std::min(count, available());
        out.append(reinterpret_cast<const char*>(m_fragments[m_index].data + m_offset),
                   qsizetype(step));
        m_offset += step;
        count -= step;
    }
    return out;
}

void FragmentReader::appendChars(std::size_t count, bool highByte, std::vector<char16_t>& out) {
    while (count > 0) {
        if (available() == 0) {
            // A fragment boundary inside the characters: the next fragment begins with a
            // flags byte of its own.
            ++m_index;
            m_offset = 0;
            if (m_index >= m_fragments.size() || m_fragments[m_index].size == 0) {
                damaged();
            }
            highByte = (u8() & 0x01) != 0;
        }
        const std::size_t width = highByte ? 2 : 1;
        const std::size_t take = std::min(count, available() / width);
        if (take == 0) {
            damaged();
        }
        const unsigned char* p = m_fragments[m_index].data + m_offset;
        const std::size_t start = out.size();
        out.resize(start + take);
        char16_t* target = out.data() + start;
        if (highByte) {
            qFromLittleEndian<quint16>(p, qsizetype(take), target);
        } else {
            std::copy(p, p + take, target);
        }
        m_offset += take * width;
        count -= take;
    }
}

void FragmentReader::appendUnicodeString(bool shortLength, std::vector<char16_t>& out) {
    const std::size_t count = shortLength ? u8() : u16();
    const std::uint8_t flags = u8();
    const std::size_t runs = (flags & 0x08) ? u16() : 0;
    const std::size_t phonetic = (flags & 0x04) ? u32() : 0;
    appendChars(count, (flags & 0x01) != 0, out);
    skip(runs * 4);
    skip(phonetic);
}

QString FragmentReader::unicodeString(bool shortLength) {
    std::vector<char16_t> chars;
    appendUnicodeString(shortLength, chars);
    return QString(reinterpret_cast<const QChar*>(chars.data()), qsizetype(chars.size()));
}

} // namespace kestrel::xls
