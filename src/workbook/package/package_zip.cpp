#include "workbook/package/package_zip.h"

#include <QByteArray>
#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <zlib.h>

namespace kestrel::package {
namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::uint32_t kZip64End = 0x06064b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint16_t kZip64Extra = 0x0001;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint32_t kMax32 = 0xFFFFFFFF;
constexpr std::size_t kInputBlock = 64 * 1024;

std::uint16_t u16(const char* at) {
    return qFromLittleEndian<quint16>(at);
}
std::uint32_t u32(const char* at) {
    return qFromLittleEndian<quint32>(at);
}
std::uint64_t u64(const char* at) {
    return qFromLittleEndian<quint64>(at);
}

[[noreturn]] void fail(Fault fault, const QString& part = {}) {
    throw PackageError{fault, part};
}

QString partText(std::string_view name) {
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

bool beyondRatio(std::uint64_t size, std::uint64_t compressed) {
    return size > kInflateAllowance && (size - kInflateAllowance) / kMaxInflateRatio >= compressed;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// The sizes and offset a ZIP64 extra field gives for the directory's fields that say 0xFFFFFFFF.
void readZip64Extra(const char* extra, std::size_t size, ZipPackage::Entry& entry,
                    std::uint64_t& localOffset) {
    std::uint64_t* const wanted[] = {&entry.size, &entry.compressedSize, &localOffset};
    for (std::size_t at = 0; at + 4 <= size;) {
        const std::uint16_t id = u16(extra + at);
        const std::size_t length = u16(extra + at + 2);
        at += 4;
        if (at + length > size)
            fail(Fault::Damaged);
        if (id == kZip64Extra) {
            std::size_t field = at;
            for (std::uint64_t* value : wanted) {
                if (*value != kMax32)
                    continue;
                if (field + 8 > at + length)
                    fail(Fault::Damaged);
                *value = u64(extra + field);
                field += 8;
            }
            return;
        }
        at += length;
    }
}

} // namespace

bool looksLikeZip(const QByteArray& bytes) {
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

ZipPackage::ZipPackage(QIODevice& device) : m_device(device) {
    const qint64 size = device.size();
    if (size < 22)
        fail(Fault::Damaged);
    m_fileSize = std::uint64_t(size);
    readDirectory();
}

void ZipPackage::readAt(std::uint64_t offset, char* into, std::size_t size) const {
    if (offset > m_fileSize || size > m_fileSize - offset || !m_device.seek(qint64(offset)) ||
        m_device.read(into, qint64(size)) != qint64(size))
        fail(Fault::Damaged);
}

void ZipPackage::readDirectory() {
    // The end record, searched from the end past a comment of at most 64 KiB.
    const std::size_t tailSize = std::size_t(std::min<std::uint64_t>(m_fileSize, 22 + 65535));
    std::vector<char> tail(tailSize);
    readAt(m_fileSize - tailSize, tail.data(), tailSize);
    std::size_t end = tailSize - 22 + 1;
    do {
        if (end-- == 0)
            fail(Fault::Damaged);
    } while (u32(tail.data() + end) != kEndOfDirectory);
    const char* record = tail.data() + end;
    std::uint64_t count = u16(record + 10);
    std::uint64_t directorySize = u32(record + 12);
    std::uint64_t directoryOffset = u32(record + 16);
    const std::uint64_t endOffset = m_fileSize - tailSize + end;
    if (count == 0xFFFF || directorySize == kMax32 || directoryOffset == kMax32) {
        char locator[20];
        if (endOffset < 20)
            fail(Fault::Damaged);
        readAt(endOffset - 20, locator, sizeof locator);
        if (u32(locator) == kZip64Locator) {
            char zip64[56];
            readAt(u64(locator + 8), zip64, sizeof zip64);
            if (u32(zip64) != kZip64End)
                fail(Fault::Damaged);
            count = u64(zip64 + 32);
            directorySize = u64(zip64 + 40);
            directoryOffset = u64(zip64 + 48);
        }
    }
    if (directoryOffset > m_fileSize || directorySize > m_fileSize - directoryOffset ||
        count > directorySize / 46)
        fail(Fault::Damaged);
    std::vector<char> directory(static_cast<std::size_t>(directorySize));
    readAt(directoryOffset, directory.data(), directory.size());
    m_entries.reserve(std::size_t(count));
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < count; ++i)
        readEntry(directory.data(), directory.size(), at);
    for (Entry& entry : m_entries)
        checkLocalHeader(entry);
}

void ZipPackage::readEntry(const char* directory, std::size_t size, std::size_t& at) {
    if (at + 46 > size || u32(directory + at) != kDirectoryEntry)
        fail(Fault::Damaged);
    const char* record = directory + at;
    const std::size_t nameLength = u16(record + 28);
    const std::size_t extraLength = u16(record + 30);
    const std::size_t next = at + 46 + nameLength + extraLength + u16(record + 32);
    if (next > size)
        fail(Fault::Damaged);
    Entry entry;
    entry.name.assign(record + 46, nameLength);
    if (u16(record + 8) & kFlagEncrypted)
        fail(Fault::Encrypted);
    entry.method = u16(record + 10);
    entry.crc = u32(record + 16);
    entry.compressedSize = u32(record + 20);
    entry.size = u32(record + 24);
    std::uint64_t localOffset = u32(record + 42);
    readZip64Extra(record + 46 + nameLength, extraLength, entry, localOffset);
    if (entry.compressedSize > m_fileSize)
        fail(Fault::Damaged); // more compressed bytes than the file holds
    if (beyondRatio(entry.size, entry.compressedSize))
        fail(Fault::TooLarge);
    entry.dataOffset = localOffset; // until the local header is read
    m_entries.push_back(std::move(entry));
    at = next;
}

// The data follows the entry's own header, whose name and extra field may differ in length
// from the directory's. Sizes it states (when it states them) must not be absurd either.
void ZipPackage::checkLocalHeader(Entry& entry) {
    char header[30];
    readAt(entry.dataOffset, header, sizeof header);
    if (u32(header) != kLocalHeader)
        fail(Fault::Damaged);
    const std::uint64_t compressed = u32(header + 18);
    const std::uint64_t size = u32(header + 22);
    if (!(u16(header + 6) & kFlagDescriptor) && compressed != kMax32 && size != kMax32) {
        if (compressed > m_fileSize)
            fail(Fault::Damaged);
        if (beyondRatio(size, compressed))
            fail(Fault::TooLarge);
    }
    entry.dataOffset += 30 + std::uint64_t(u16(header + 26)) + u16(header + 28);
    if (entry.dataOffset > m_fileSize || entry.compressedSize > m_fileSize - entry.dataOffset)
        fail(Fault::Damaged);
}

void ZipPackage::countInflated(std::size_t bytes) const {
    m_inflated += bytes;
    if (beyondRatio(m_inflated, m_fileSize))
        fail(Fault::TooLarge);
}

const ZipPackage::Entry* ZipPackage::find(std::string_view name) const {
    for (const Entry& entry : m_entries) {
        if (entry.name == name)
            return &entry;
    }
    for (const Entry& entry : m_entries) {
        if (sameIgnoringCase(entry.name, name))
            return &entry;
    }
    return nullptr;
}

bool ZipPackage::has(std::string_view name) const {
    return find(name) != nullptr;
}

const ZipPackage::Entry& ZipPackage::entry(std::string_view name) const {
    const Entry* found = find(name);
    if (!found)
        fail(Fault::MissingPart, partText(name));
    return *found;
}

struct ZipPackage::PartReader::Inflater {
    z_stream stream{};
    Inflater() {
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
    }
    ~Inflater() { inflateEnd(&stream); }
};

ZipPackage::PartReader::PartReader(const ZipPackage& zip, const Entry& entry)
    : m_zip(zip), m_entry(entry), m_inputLeft(entry.compressedSize),
      m_crc(std::uint32_t(crc32(0, nullptr, 0))) {
    if (entry.method == kDeflated) {
        m_inflater = std::make_unique<Inflater>();
        m_input.resize(kInputBlock);
    } else if (entry.method != kStored || entry.size != entry.compressedSize) {
        damaged(); // a compression method no spreadsheet writer uses
    }
}

ZipPackage::PartReader::~PartReader() = default;

QString ZipPackage::PartReader::partName() const {
    return partText(m_entry.name);
}

void ZipPackage::PartReader::damaged() const {
    fail(Fault::Damaged, partName());
}

std::size_t ZipPackage::PartReader::read(char* into, std::size_t size) {
    if (m_ended || size == 0)
        return 0;
    // One byte past the declared size is enough to tell that the data inflates to more.
    size = std::size_t(std::min<std::uint64_t>(size, m_entry.size - m_produced + 1));
    std::size_t produced = 0;
    if (m_inflater) {
        produced = inflateInto(into, size);
    } else {
        produced = std::size_t(std::min<std::uint64_t>(size, m_inputLeft));
        m_zip.readAt(m_entry.dataOffset + (m_entry.compressedSize - m_inputLeft), into, produced);
        m_inputLeft -= produced;
        m_ended = m_inputLeft == 0;
    }
    m_produced += produced;
    if (m_produced > m_entry.size)
        damaged();
    m_zip.countInflated(produced);
    m_crc = std::uint32_t(crc32(m_crc, reinterpret_cast<const Bytef*>(into), uInt(produced)));
    if (m_ended)
        finish();
    return produced;
}

std::size_t ZipPackage::PartReader::inflateInto(char* into, std::size_t size) {
    z_stream& stream = m_inflater->stream;
    const auto room = uInt(std::min<std::size_t>(size, kMax32));
    stream.next_out = reinterpret_cast<Bytef*>(into);
    stream.avail_out = room;
    while (stream.avail_out == room && !m_ended) {
        if (stream.avail_in == 0 && m_inputLeft > 0) {
            const auto block = std::size_t(std::min<std::uint64_t>(m_input.size(), m_inputLeft));
            m_zip.readAt(m_entry.dataOffset + (m_entry.compressedSize - m_inputLeft),
                         m_input.data(), block);
            m_inputLeft -= block;
            stream.next_in = reinterpret_cast<Bytef*>(m_input.data());
            stream.avail_in = uInt(block);
        }
        const int status = inflate(&stream, Z_NO_FLUSH);
        if (status == Z_STREAM_END)
            m_ended = true;
        else if (status != Z_OK && !(status == Z_BUF_ERROR && stream.avail_in == 0 && m_inputLeft))
            damaged(); // broken data, or data that ends before the stream does
    }
    return room - stream.avail_out;
}

void ZipPackage::PartReader::finish() {
    if (m_produced != m_entry.size)
        damaged();
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION // mutated inputs reach the parsers unchecked
    if (m_crc != m_entry.crc)
        damaged();
#endif
}

} // namespace kestrel::package
