#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace kestrel {

// Windows code pages (936, 1252, 10029, ...) through the platform's converter: iconv where the
// C library has it, the Windows API on Windows. Unknown code pages fall back to Latin-1 for
// decoding; characters a code page cannot hold encode as '?'.
QString decodeCodePage(const QByteArray& bytes, int codePage);
QByteArray encodeCodePage(const QString& text, int codePage);
// True when the code page holds every character of the text (always for code page 0).
bool codePageHolds(const QString& text, int codePage);

// The code page Windows uses for 8-bit text under a locale (its "ANSI code page"): 936 for
// Simplified Chinese, 950 Traditional Chinese, 932 Japanese, 949 Korean, 1251 Cyrillic script,
// 1250 Central European, 1253 Greek, 1254 Turkish, 1255 Hebrew, 1256 Arabic script, 1257 Baltic,
// 1258 Vietnamese, 874 Thai, else 1252.
int ansiCodePage(const QLocale& locale);
// This computer's ANSI code page: the system's on Windows, else that of QLocale::system().
int systemAnsiCodePage();

} // namespace kestrel
