#include "text/codepage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

#include <algorithm>
#include <string>
#include <vector>

namespace kestrel {
namespace {

// Excel writes 32768 for Mac Roman and 32769 for Windows Latin 1 in older files.
int normalisedCodePage(int codePage) {
    if (codePage == 32768) {
        return 10000;
    }
    if (codePage == 32769) {
        return 1252;
    }
    return codePage;
}

bool isAscii(const QByteArray& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

#ifndef _WIN32

std::string iconvName(int codePage) {
    switch (codePage) {
    case 1200:
        return "UTF-16LE";
    case 1201:
        return "UTF-16BE";
    case 65001:
        return "UTF-8";
    case 367:
    case 20127:
        return "ASCII";
    case 28591:
        return "ISO-8859-1";
    case 10000:
        return "MACINTOSH";
    case 10006:
        return "MAC-GREEK";
    case 10007:
        return "MAC-CYRILLIC";
    case 10029:
        return "MAC-CENTRALEUROPE";
    case 10079:
        return "MAC-IS";
    case 10081:
        return "MAC-TURKISH";
    case 20936:
        return "GB2312";
    case 54936:
        return "GB18030";
    default:
        return "CP" + std::to_string(codePage);
    }
}

// An iconv descriptor for one direction, closed when it goes out of scope.
class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (valid()) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input; an input sequence the target cannot hold is skipped (its length
    // given by skipLength) and replaced by replacement.
    template <typename SkipLength>
    std::string run(const char* input, std::size_t size, const std::string& replacement,
                    SkipLength skipLength) {
        std::string out;
        std::vector<char> buffer(4 * size + 16);
        char* in = const_cast<char*>(input);
        std::size_t inLeft = size;
        while (true) {
            char* outPtr = buffer.data();
            std::size_t outLeft = buffer.size();
            const std::size_t result = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer.data(), buffer.size() - outLeft);
            if (result != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                continue;
            }
            // EILSEQ or EINVAL: one bad or cut-off sequence.
            out += replacement;
            const std::size_t skip =
                std::min(inLeft, std::max<std::size_t>(1, skipLength(in, inLeft)));
            in += skip;
            inLeft -= skip;
            if (inLeft == 0) {
                break;
            }
        }
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft); // flush any shift state
        out.append(buffer.data(), buffer.size() - outLeft);
        return out;
    }

private:
    iconv_t m_cd;
};

std::size_t utf8SequenceLength(const char* p, std::size_t left) {
    const auto lead = static_cast<unsigned char>(p[0]);
    std::size_t length = 1;
    if (lead >= 0xF0) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    return std::min(length, left);
}

#endif

} // namespace

QString decodeCodePage(const QByteArray& bytes, int codePage) {
    if (bytes.isEmpty()) {
        return {};
    }
    codePage = normalisedCodePage(codePage);
    if (isAscii(bytes) && codePage != 1200 && codePage != 1201) {
        return QString::fromLatin1(bytes);
    }
    if (codePage == 65001) {
        return QString::fromUtf8(bytes);
    }
#ifdef _WIN32
    const int size = MultiByteToWideChar(static_cast<UINT>(codePage), 0, bytes.constData(),
                                         static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) {
        return QString::fromLatin1(bytes);
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(static_cast<UINT>(codePage), 0, bytes.constData(),
                        static_cast<int>(bytes.size()), wide.data(), size);
    return QString::fromStdWString(wide);
#else
    Converter converter("UTF-8", iconvName(codePage));
    if (!converter.valid()) {
        return QString::fromLatin1(bytes);
    }
    // An undecodable byte becomes U+FFFD, as the Windows converter does.
    const std::string utf8 =
        converter.run(bytes.constData(), std::size_t(bytes.size()), "\xEF\xBF\xBD",
                      [](const char*, std::size_t) { return std::size_t(1); });
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
#endif
}

QByteArray encodeCodePage(const QString& text, int codePage) {
    if (text.isEmpty()) {
        return {};
    }
    codePage = normalisedCodePage(codePage);
    if (codePage == 65001) {
        return text.toUtf8();
    }
#ifdef _WIN32
    const std::wstring wide = text.toStdWString();
    const BOOL noDefault = codePage == 1200 || codePage == 1201;
    const char* defaultChar = noDefault ? nullptr : "?";
    const int size =
        WideCharToMultiByte(static_cast<UINT>(codePage), 0, wide.data(),
                            static_cast<int>(wide.size()), nullptr, 0, defaultChar, nullptr);
    if (size <= 0) {
        return text.toLatin1();
    }
    QByteArray out(size, '\0');
    WideCharToMultiByte(static_cast<UINT>(codePage), 0, wide.data(), static_cast<int>(wide.size()),
                        out.data(), size, defaultChar, nullptr);
    return out;
#else
    Converter converter(iconvName(codePage), "UTF-8");
    if (!converter.valid()) {
        return text.toLatin1();
    }
    const QByteArray utf8 = text.toUtf8();
    const std::string encoded =
        converter.run(utf8.constData(), std::size_t(utf8.size()), "?", utf8SequenceLength);
    return QByteArray(encoded.data(), qsizetype(encoded.size()));
#endif
}

int ansiCodePage(const QLocale& locale) {
    // The script decides first: it tells Serbian, Azerbaijani or Uzbek in Cyrillic from the
    // same languages in Latin letters, and Traditional from Simplified Chinese.
    switch (locale.script()) {
    case QLocale::SimplifiedHanScript:
        return 936;
    case QLocale::TraditionalHanScript:
        return 950;
    case QLocale::CyrillicScript:
        return 1251;
    case QLocale::GreekScript:
        return 1253;
    case QLocale::HebrewScript:
        return 1255;
    case QLocale::ArabicScript:
        return 1256;
    case QLocale::ThaiScript:
        return 874;
    default:
        break;
    }
    switch (locale.language()) {
    case QLocale::Japanese:
        return 932;
    case QLocale::Korean:
        return 949;
    case QLocale::Albanian:
    case QLocale::Bosnian:
    case QLocale::Croatian:
    case QLocale::Czech:
    case QLocale::Hungarian:
    case QLocale::Polish:
    case QLocale::Romanian:
    case QLocale::Serbian:
    case QLocale::Slovak:
    case QLocale::Slovenian:
    case QLocale::Turkmen:
        return 1250;
    case QLocale::Azerbaijani:
    case QLocale::Turkish:
    case QLocale::Uzbek:
        return 1254;
    case QLocale::Estonian:
    case QLocale::Latvian:
    case QLocale::Lithuanian:
        return 1257;
    case QLocale::Vietnamese:
        return 1258;
    default:
        return 1252;
    }
}

int systemAnsiCodePage() {
#ifdef _WIN32
    // A system set to UTF-8 for non-Unicode programs wrote its old files in another code page;
    // the user's locale is the better guess then.
    const UINT systemCodePage = GetACP();
    if (systemCodePage != CP_UTF8) {
        return static_cast<int>(systemCodePage);
    }
#endif
    return ansiCodePage(QLocale::system());
}

bool codePageHolds(const QString& text, int codePage) {
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    return codePage == 0 || ascii ||
           decodeCodePage(encodeCodePage(text, codePage), codePage) == text;
}

} // namespace kestrel
