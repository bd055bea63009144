#include "workbook/xls/xls_byte_text.h"

#include "text/codepage.h"

#include <algorithm>

namespace kestrel::xls {

QString ByteTextDecoder::decode(const QByteArray& bytes) {
    if (m_fileCodePage) {
        return decodeCodePage(bytes, *m_fileCodePage);
    }
    // ASCII reads the same in every code page: only other bytes depend on the assumption.
    m_assumptionUsed = m_assumptionUsed || std::any_of(bytes.begin(), bytes.end(), [](char c) {
                           return static_cast<unsigned char>(c) >= 0x80;
                       });
    return decodeCodePage(bytes, m_assumedCodePage);
}

std::optional<int> ByteTextDecoder::assumedCodePageUsed() const {
    if (!m_assumptionUsed) {
        return std::nullopt;
    }
    return m_assumedCodePage;
}

} // namespace kestrel::xls
