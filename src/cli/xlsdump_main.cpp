// kestrel-xlsdump FILE [SHEET]: shows what the reader takes from a template worksheet, one line
// per cell with a value, as the import sees it under this workstation's locale.
#include "text/cellvalue.h"
#include "text/errors.h"
#include "text/textrules.h"
#include "workbook/workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStringList>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <unordered_map>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr int kExitBadFile = 2;
constexpr int kExitUsage = 64;
// Day zero of automation dates: a cell of that day shows its time of day alone.
const QDate kTimeOnlyDay(1899, 12, 30);

const char* typeName(kestrel::CellValue::Type type) {
    switch (type) {
    case kestrel::CellValue::Type::Text:
        return "text";
    case kestrel::CellValue::Type::Number:
        return "number";
    case kestrel::CellValue::Type::DateTime:
        return "date";
    case kestrel::CellValue::Type::Boolean:
        return "boolean";
    case kestrel::CellValue::Type::Error:
        return "error";
    case kestrel::CellValue::Type::Blank:
        break;
    }
    return "";
}

// Standard output through one buffer, written out in large pieces.
class Output {
public:
    Output() { m_buffer.reserve(kFlushSize + 4096); }
    ~Output() { flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void append(const char* text) { m_buffer.append(text); }
    void append(const QByteArray& bytes) {
        m_buffer.append(bytes.constData(), std::size_t(bytes.size()));
    }
    void append(char c) { m_buffer.push_back(c); }
    void appendNumber(int value) {
        char digits[16];
        const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
        m_buffer.append(digits, end.ptr);
    }
    // The text as UTF-8 with tab, carriage return, line feed and backslash escaped.
    void appendEscaped(const QString& text);
    void endLine() {
        m_buffer.push_back('\n');
        if (m_buffer.size() >= kFlushSize)
            flush();
    }
    void flush() {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout);
        std::fflush(stdout);
        m_buffer.clear();
    }

private:
    static constexpr std::size_t kFlushSize = 1 << 20;
    std::string m_buffer;
};

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        default:
            out += c;
        }
    }
    return out;
}

void Output::appendEscaped(const QString& text) {
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            // Surrogates (pairs, or lone ones that UTF-8 cannot hold): Qt's encoder decides.
            append(escaped(text).toUtf8());
            return;
        }
    }
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        switch (unit) {
        case u'\t':
            m_buffer.append("\\t");
            continue;
        case u'\r':
            m_buffer.append("\\r");
            continue;
        case u'\n':
            m_buffer.append("\\n");
            continue;
        case u'\\':
            m_buffer.append("\\\\");
            continue;
        default:
            break;
        }
        if (unit < 0x80) {
            m_buffer.push_back(char(unit));
        } else if (unit < 0x800) {
            m_buffer.push_back(char(0xC0 | (unit >> 6)));
            m_buffer.push_back(char(0x80 | (unit & 0x3F)));
        } else {
            m_buffer.push_back(char(0xE0 | (unit >> 12)));
            m_buffer.push_back(char(0x80 | ((unit >> 6) & 0x3F)));
            m_buffer.push_back(char(0x80 | (unit & 0x3F)));
        }
    }
}

// The texts of date cells, kept per day and per time of day: a column of dates repeats them.
class DateTexts {
public:
    explicit DateTexts(const QLocale& locale) : m_locale(locale) {}

    void append(Output& out, const kestrel::CellValue& value) {
        const bool midnight = !value.time.isValid() || value.time == QTime(0, 0);
        if (value.date == kTimeOnlyDay && !midnight) {
            out.appendEscaped(kestrel::cellToText(value, m_locale));
            return;
        }
        out.append(
            cached(m_days, value.date.toJulianDay(), kestrel::CellValue::fromDateTime(value.date)));
        if (midnight)
            return;
        out.append(' ');
        out.append(cached(m_times, value.time.msecsSinceStartOfDay(),
                          kestrel::CellValue::fromDateTime(kTimeOnlyDay, value.time)));
    }

private:
    const QByteArray& cached(std::unordered_map<qint64, QByteArray>& texts, qint64 key,
                             const kestrel::CellValue& value) {
        auto found = texts.find(key);
        if (found == texts.end())
            found =
                texts.emplace(key, escaped(kestrel::cellToText(value, m_locale)).toUtf8()).first;
        return found->second;
    }

    const QLocale& m_locale;
    std::unordered_map<qint64, QByteArray> m_days;
    std::unordered_map<qint64, QByteArray> m_times;
};

void appendValue(Output& out, const kestrel::CellValue& value, const QLocale& locale,
                 DateTexts& dates) {
    switch (value.type) {
    case kestrel::CellValue::Type::Text:
        out.appendEscaped(value.text);
        break;
    case kestrel::CellValue::Type::DateTime:
        dates.append(out, value);
        break;
    case kestrel::CellValue::Type::Error:
        out.appendEscaped(kestrel::errorCodeText(value.errorCode));
        break;
    default:
        out.appendEscaped(kestrel::cellToText(value, locale));
        break;
    }
}

void dump(const kestrel::Workbook& book, int sheet) {
    const QLocale locale = QLocale::system();
    const int rows = book.lastRow(sheet);
    Output out;
    DateTexts dates(locale);
    out.append("rows\t");
    out.appendNumber(rows);
    out.endLine();
    for (int row = 1; row <= rows; ++row) {
        book.forEachCellInRow(sheet, row, [&](int column, const kestrel::CellValue& value) {
            out.appendNumber(row);
            out.append('\t');
            out.appendNumber(column);
            out.append('\t');
            out.append(typeName(value.type));
            out.append('\t');
            appendValue(out, value, locale, dates);
            out.endLine();
        });
    }
}

// An Excel 5/95 workbook that does not name the code page of its texts was read in this
// computer's; say which, so that garbled text can be told from a wrong guess.
void noteAssumedCodePage(const kestrel::Workbook& book) {
    if (const std::optional<int> codePage = book.assumedCodePage()) {
        const QString note =
            QStringLiteral("注意：%1 没有注明文字的代码页，已按本机的代码页 %2 读取")
                .arg(QDir::toNativeSeparators(book.filePath()))
                .arg(*codePage);
        std::fprintf(stderr, "%s\n", note.toUtf8().constData());
    }
}

int usage() {
    std::fputs("usage: kestrel-xlsdump FILE [SHEET]\n", stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // LF line ends, as on every platform
#endif
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.size() > 2) {
        return usage();
    }
    int sheet = 1;
    if (args.size() == 2) {
        bool ok = false;
        sheet = args.at(1).toInt(&ok);
        if (!ok) {
            return usage();
        }
    }
    try {
        const std::unique_ptr<kestrel::Workbook> book = kestrel::openWorkbook(args.at(0));
        noteAssumedCodePage(*book);
        dump(*book, sheet);
    } catch (const kestrel::Error& error) {
        std::fflush(stdout);
        const QByteArray message = error.message().toUtf8();
        std::fprintf(stderr, "%s\n", message.constData());
        return kExitBadFile;
    }
    return 0;
}
