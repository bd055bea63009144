#include "workbook/xls/xls_workbook_parser.h"

#include "workbook/date_formats.h"
#include "workbook/xls/xls_byte_text.h"
#include "workbook/xls/xls_decrypt.h"
#include "workbook/xls/xls_sst.h"

#include <map>

namespace kestrel::xls {
namespace {

constexpr std::uint16_t kBiff5Version = 0x0500;
constexpr std::uint16_t kSubstreamGlobals = 0x0005;
constexpr std::uint8_t kSheetTypeWorksheet = 0;

struct SheetEntry {
    QString name;
    std::uint32_t offset = 0;
};

class GlobalsReader {
public:
    GlobalsReader(const QByteArray& stream, int assumedCodePage)
        : m_stream(reinterpret_cast<const unsigned char*>(stream.constData()),
                   std::size_t(stream.size())),
          m_size(std::size_t(stream.size())), m_text(assumedCodePage) {}

    ParsedWorkbook read() {
        readBof();
        Record rec;
        while (true) {
            if (!m_stream.next(rec)) {
                damaged(); // the globals end without their EOF record
            }
            if (rec.id == record::kEof) {
                break;
            }
            handle(rec);
        }
        readWorksheets();
        return std::move(m_book);
    }

private:
    void readBof() {
        Record rec;
        if (!m_stream.next(rec) || rec.id != record::kBof || rec.body.size < 4) {
            fail(FileFault::NotWorkbook);
        }
        const std::uint16_t version = readU16(rec.body.data);
        if (readU16(rec.body.data + 2) != kSubstreamGlobals) {
            damaged();
        }
        m_book.biff8 = version != kBiff5Version;
    }

    void handle(const Record& rec) {
        const Fragment& body = rec.body;
        switch (rec.id) {
        case record::kFilePass:
            break; // decrypted before the globals are read
        case record::kCodePage:
            if (body.size >= 2) {
                m_text.setCodePage(readU16(body.data));
            }
            break;
        case record::kDateMode:
            m_book.date1904 = body.size >= 2 && readU16(body.data) != 0;
            break;
        case record::kFormat:
            format(rec);
            break;
        case record::kXf:
            if (body.size < 4) {
                damaged();
            }
            m_xfFormats.push_back(readU16(body.data + 2));
            break;
        case record::kBoundSheet:
            boundSheet(body);
            break;
        case record::kSst: {
            const std::vector<Fragment> fragments = m_stream.withContinues(rec);
            readSharedStrings(fragments, m_book.strings);
            break;
        }
        default:
            break;
        }
    }

    QString shortText(FragmentReader& reader, bool shortLength) {
        if (m_book.biff8) {
            return reader.unicodeString(shortLength);
        }
        const std::size_t length = shortLength ? reader.u8() : reader.u16();
        return m_text.decode(reader.bytes(length));
    }

    void format(const Record& rec) {
        const std::vector<Fragment> fragments = m_stream.withContinues(rec);
        FragmentReader reader(fragments);
        const std::uint16_t id = reader.u16();
        // BIFF5 counts the format code's length in one byte, BIFF8 in two. Some writers get
        // the layout wrong; a format code that cannot be read shows no date.
        try {
            m_formats[id] = isDateFormatCode(shortText(reader, !m_book.biff8));
        } catch (const FormatError&) {
            m_formats[id] = false;
        }
    }

    void boundSheet(const Fragment& body) {
        if (body.size < 7) {
            damaged();
        }
        if (body.data[5] != kSheetTypeWorksheet) {
            return; // macro sheet, chart sheet or VBA module
        }
        FragmentReader reader(body);
        reader.skip(6);
        SheetEntry entry;
        entry.offset = readU32(body.data);
        entry.name = shortText(reader, true);
        m_sheets.push_back(std::move(entry));
    }

    std::vector<bool> dateXfs() const {
        std::vector<bool> dates(m_xfFormats.size(), false);
        for (std::size_t i = 0; i < m_xfFormats.size(); ++i) {
            const std::uint16_t id = m_xfFormats[i];
            const auto defined = m_formats.find(id);
            dates[i] = defined != m_formats.end() ? defined->second : isBuiltInDateFormat(id);
        }
        return dates;
    }

    void readWorksheets() {
        const std::vector<bool> dates = dateXfs();
        SheetContext context;
        context.biff8 = m_book.biff8;
        context.text = &m_text;
        context.dateXf = &dates;
        context.sharedStringCount = m_book.strings.size();
        context.strings = &m_book.strings;
        std::size_t parsed = 0;
        for (SheetEntry& entry : m_sheets) {
            SheetCells cells = readSheet(m_stream, entry.offset, context);
            // Worksheet substreams do not overlap; sheet entries pointing into each other
            // would make the reader go over the same bytes again and again.
            parsed += m_stream.position() - entry.offset;
            if (parsed > m_size) {
                damaged();
            }
            if (cells.isWorksheet) {
                m_book.worksheets.push_back(ParsedSheet{std::move(entry.name), std::move(cells)});
            }
        }
        m_book.assumedCodePage = m_text.assumedCodePageUsed();
    }

    RecordStream m_stream;
    std::size_t m_size;
    ParsedWorkbook m_book;
    ByteTextDecoder m_text;
    std::map<std::uint16_t, bool> m_formats; // id -> shows a date
    std::vector<std::uint16_t> m_xfFormats;
    std::vector<SheetEntry> m_sheets;
};

} // namespace

ParsedWorkbook parseWorkbookStream(const QByteArray& stream, int assumedCodePage) {
    const QByteArray plain = decryptWithDefaultPassword(stream);
    return GlobalsReader(plain, assumedCodePage).read();
}

} // namespace kestrel::xls
