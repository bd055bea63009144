#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace kestrel::xls {

// Decodes the 8-bit texts of an Excel 5/95 workbook (sheet names, number formats, cell texts):
// in the code page its CODEPAGE record names, or, as long as it has named none, in the code page
// assumed for it. Notes whether the assumption decided any text.
class ByteTextDecoder {
public:
    explicit ByteTextDecoder(int assumedCodePage) : m_assumedCodePage(assumedCodePage) {}

    void setCodePage(int codePage) { m_fileCodePage = codePage; }
    QString decode(const QByteArray& bytes);
    // The assumed code page, once it has decoded a text holding bytes beyond ASCII.
    std::optional<int> assumedCodePageUsed() const;

private:
    int m_assumedCodePage;
    std::optional<int> m_fileCodePage;
    bool m_assumptionUsed = false;
};

} // namespace kestrel::xls
