// kestrel-xlsdump FILE [SHEET]: shows what the reader takes from a template worksheet, one line
// per cell with a value, as the import sees it under this workstation's locale.
#include "text/cellvalue.h"
#include "text/date_texts.h"
#include "text/errors.h"
#include "text/textrules.h"
#include "workbook/workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr int kExitBadFile = 2;
constexpr int kExitUsage = 64;

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

// Lines go into buffers of about a megabyte: standard output's is written out whenever it
// fills, a thread's own are kept in order until it is their turn.
class Output {
public:
    explicit Output(bool toStdout) : m_toStdout(toStdout) { startBuffer(); }
    ~Output() {
        if (m_toStdout)
            flush();
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Room for count more bytes: write there, then commit() where the writing ended.
    char* room(std::size_t count) {
        if (m_capacity - m_size < count)
            grow(count);
        return m_data.get() + m_size;
    }
    void commit(const char* end) { m_size = std::size_t(end - m_data.get()); }
    void append(std::string_view text) {
        std::memcpy(room(text.size()), text.data(), text.size());
        m_size += text.size();
    }
    // The text as UTF-8 with tab, carriage return, line feed and backslash escaped.
    void appendEscaped(QStringView text);
    // UTF-8 text, escaped the same way.
    void appendEscapedUtf8(std::string_view text);
    void endLine() {
        *room(1) = '\n';
        ++m_size;
        if (m_size >= kBufferSize) {
            if (m_toStdout)
                flush();
            else
                keepBuffer();
        }
    }
    void flush() {
        std::fwrite(m_data.get(), 1, m_size, stdout);
        std::fflush(stdout);
        m_size = 0;
    }
    // Writes out what a thread's own buffers hold, and empties them.
    void writeOut() {
        for (const std::string& kept : m_kept)
            std::fwrite(kept.data(), 1, kept.size(), stdout);
        m_kept.clear();
        flush();
    }

private:
    static constexpr std::size_t kBufferSize = 1 << 20;

    void startBuffer() {
        m_capacity = kBufferSize + 4096;
        m_data = std::make_unique<char[]>(m_capacity);
        m_size = 0;
    }
    void grow(std::size_t count) {
        const std::size_t capacity = std::max(m_capacity * 2, m_size + count);
        auto data = std::make_unique<char[]>(capacity);
        std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }
    void keepBuffer() {
        m_kept.emplace_back(m_data.get(), m_size);
        m_size = 0;
    }

    bool m_toStdout;
    std::unique_ptr<char[]> m_data;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
    std::vector<std::string> m_kept;
};

QString escaped(QStringView text) {
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

// The escape written for a character; nullptr when it stands for itself.
const char* escapeOf(char16_t unit) {
    switch (unit) {
    case u'\t':
        return "\\t";
    case u'\r':
        return "\\r";
    case u'\n':
        return "\\n";
    case u'\\':
        return "\\\\";
    default:
        return nullptr;
    }
}

void Output::appendEscaped(QStringView text) {
    const std::size_t start = m_size;
    char* out = room(3 * std::size_t(text.size())); // the most a character takes
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x80) {
            if (const char* escape = escapeOf(unit)) {
                *out++ = escape[0];
                *out++ = escape[1];
            } else {
                *out++ = char(unit);
            }
        } else if (unit < 0x800) {
            *out++ = char(0xC0 | (unit >> 6));
            *out++ = char(0x80 | (unit & 0x3F));
        } else if (!c.isSurrogate()) {
            *out++ = char(0xE0 | (unit >> 12));
            *out++ = char(0x80 | ((unit >> 6) & 0x3F));
            *out++ = char(0x80 | (unit & 0x3F));
        } else {
            // Surrogates (pairs, or lone ones that UTF-8 cannot hold): Qt's encoder decides.
            m_size = start;
            append(escaped(text).toStdString());
            return;
        }
    }
    commit(out);
}

// The escaped characters are ASCII, which no byte of a multi-byte UTF-8 sequence is.
void Output::appendEscapedUtf8(std::string_view text) {
    char* out = room(2 * text.size());
    for (const char c : text) {
        if (const char* escape = escapeOf(static_cast<unsigned char>(c))) {
            *out++ = escape[0];
            *out++ = escape[1];
        } else {
            *out++ = c;
        }
    }
    commit(out);
}

bool needsEscape(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return escapeOf(static_cast<unsigned char>(c)) != nullptr; });
}

// Writes the lines of a range of rows, one per cell with a value. Each thread has its own.
class RowWriter {
public:
    RowWriter(const kestrel::Workbook& book, int sheet, const QLocale& locale)
        : m_book(book), m_sheet(sheet), m_dates(locale),
          m_decimalPoint(kestrel::decimalPointUtf8(locale)),
          m_plainNumbers(!needsEscape(m_decimalPoint)) {}

    void write(int firstRow, int lastRow, Output& out) {
        for (int row = firstRow; row <= lastRow; ++row) {
            m_book.readRow(m_sheet, row, m_cells);
            if (m_cells.cells().empty())
                continue;
            char rowText[16];
            char* end = std::to_chars(rowText, rowText + sizeof rowText, row).ptr;
            *end++ = '\t';
            const std::string_view rowPrefix(rowText, std::size_t(end - rowText));
            for (const kestrel::CellView& cell : m_cells.cells()) {
                out.append(rowPrefix);
                out.append(columnAndType(cell));
                appendValue(out, cell);
                out.endLine();
            }
        }
    }

private:
    // "COLUMN<TAB>TYPE<TAB>", made once for each column and type.
    std::string_view columnAndType(const kestrel::CellView& cell) {
        const auto type = std::size_t(cell.type);
        if (cell.column < 1 || cell.column > kestrel::Workbook::kWalkedColumns)
            return m_otherPrefix = prefixText(cell.column, cell.type);
        std::string& text = m_prefixes[std::size_t(cell.column - 1) * kTypes + type];
        if (text.empty())
            text = prefixText(cell.column, cell.type);
        return text;
    }

    static std::string prefixText(int column, kestrel::CellValue::Type type) {
        return std::to_string(column) + '\t' + typeName(type) + '\t';
    }

    void appendValue(Output& out, const kestrel::CellView& cell) {
        switch (cell.type) {
        case kestrel::CellValue::Type::Text:
            out.appendEscaped(cell.text);
            return;
        case kestrel::CellValue::Type::Number:
            m_scratch.clear();
            kestrel::appendNumberText(m_scratch, cell.number, m_decimalPoint);
            if (m_plainNumbers) {
                out.append(m_scratch);
                return;
            }
            break;
        case kestrel::CellValue::Type::DateTime:
            m_scratch.clear();
            m_dates.append(m_scratch, cell.date, cell.time);
            break;
        case kestrel::CellValue::Type::Boolean:
            out.append(cell.boolean ? "True" : "False");
            return;
        case kestrel::CellValue::Type::Error:
            out.appendEscaped(kestrel::errorCodeText(cell.errorCode));
            return;
        case kestrel::CellValue::Type::Blank:
            return;
        }
        out.appendEscapedUtf8(m_scratch);
    }

    const kestrel::Workbook& m_book;
    const int m_sheet;
    kestrel::RowCells m_cells;
    kestrel::DateCellTexts m_dates;
    const std::string m_decimalPoint;
    const bool m_plainNumbers;
    std::string m_scratch;
    static constexpr std::size_t kTypes = 6;
    std::vector<std::string> m_prefixes =
        std::vector<std::string>(kestrel::Workbook::kWalkedColumns * kTypes);
    std::string m_otherPrefix;
};

// Blocks of rows go out in order while two threads take turns at writing them.
class BlockTurns {
public:
    // Waits until block's turn; false when an earlier block failed.
    bool waitFor(int block) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_turn == block || m_error; });
        return m_turn == block && !m_error;
    }
    // Called by the thread that holds the turn: the next block's turn, or none after a fault.
    void done(int block) {
        update([&] { m_turn = block + 1; });
    }
    void fail(std::exception_ptr error) {
        update([&] { m_error = std::move(error); });
    }
    std::exception_ptr error() {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    template <class Change> void update(Change change) {
        {
            std::lock_guard lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_turn = 0;
    std::exception_ptr m_error;
};

constexpr int kBlockRows = 2048;

// Writes every other block of rows, starting with firstBlock, each when its turn comes. A
// block that fails goes out as far as it got, as a dump in one thread would have.
void writeBlocks(RowWriter& writer, int firstBlock, int rows, BlockTurns& turns) {
    Output out(false);
    for (int block = firstBlock; block * kBlockRows < rows; block += 2) {
        const int firstRow = block * kBlockRows + 1;
        std::exception_ptr error;
        try {
            writer.write(firstRow, std::min(rows, firstRow + kBlockRows - 1), out);
        } catch (...) {
            error = std::current_exception();
        }
        if (!turns.waitFor(block))
            return;
        out.writeOut();
        if (error) {
            turns.fail(error);
            return;
        }
        turns.done(block);
    }
}

// The worksheet's lines. On a computer with two cores or more, two threads take blocks of rows
// in turn, each writing its block into memory and then out when the block before it is out;
// the workbook is only read.
void dump(const kestrel::Workbook& book, int sheet) {
    const QLocale locale = QLocale::system();
    const int rows = book.lastRow(sheet);
    Output out(true);
    out.append("rows\t" + std::to_string(rows));
    out.endLine();
    if (rows <= kBlockRows || std::thread::hardware_concurrency() < 2) {
        RowWriter(book, sheet, locale).write(1, rows, out);
        return;
    }
    out.flush();
    // Both writers are made here: setting up the locale's forms is not for two threads at once.
    RowWriter even(book, sheet, locale);
    RowWriter odd(book, sheet, locale);
    BlockTurns turns;
    std::thread worker([&] { writeBlocks(odd, 1, rows, turns); });
    writeBlocks(even, 0, rows, turns);
    worker.join();
    if (const std::exception_ptr error = turns.error())
        std::rethrow_exception(error);
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
