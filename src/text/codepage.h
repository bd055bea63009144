#pragma once

#include <QByteArray>
#include <QString>

namespace kestrel {

// Windows code pages (936, 1252, 10029, ...) through the platform's converter: iconv where the
// C library has it, the Windows API on Windows. Unknown code pages fall back to Latin-1 for
// decoding; characters a code page cannot hold encode as '?'.
QString decodeCodePage(const QByteArray& bytes, int codePage);
QByteArray encodeCodePage(const QString& text, int codePage);

} // namespace kestrel
