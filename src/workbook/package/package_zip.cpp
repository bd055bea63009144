#include "workbook/package/package_zip.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <QtEndian>
#include <algorithm>
#include <exception>

namespace kestrel::package {
namespace {

// Far above any template's largest part (65,536 rows of 20 columns take about 40 MB of XML).
constexpr quint64 kMaxPartSize = quint64(256) * 1024 * 1024;
constexpr quint64 kMaxTotalSize = quint64(512) * 1024 * 1024;
constexpr quint32 kEndOfDirectory = 0x06054b50;
constexpr quint32 kDirectoryEntry = 0x02014b50;
constexpr quint32 kLocalHeader = 0x04034b50;

quint32 u32At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}
quint16 u16At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

[[noreturn]] void fail(Fault fault, const QString& part = {}) {
    throw PackageError{fault, part};
}

// The offset of the end-of-central-directory record, searched from the end past a comment.
qsizetype endOfDirectory(const QByteArray& bytes) {
    const qsizetype lowest = std::max<qsizetype>(0, bytes.size() - 22 - 65535);
    for (qsizetype at = bytes.size() - 22; at >= lowest; --at) {
        if (u32At(bytes, at) == kEndOfDirectory)
            return at;
    }
    fail(Fault::Damaged);
}

// liborcus sizes its buffers by the entry's local header, which may differ from the directory.
void checkLocalHeader(const QByteArray& bytes, qsizetype at) {
    if (at < 0 || at + 30 > bytes.size() || u32At(bytes, at) != kLocalHeader)
        fail(Fault::Damaged);
    if (u32At(bytes, at + 18) > quint64(bytes.size()))
        fail(Fault::Damaged);
    if (u32At(bytes, at + 22) > kMaxPartSize)
        fail(Fault::TooLarge);
}

// Refuses a package whose central directory declares parts too large to inflate.
void checkDeclaredSizes(const QByteArray& bytes) {
    if (bytes.size() < 22)
        fail(Fault::Damaged);
    const qsizetype end = endOfDirectory(bytes);
    const quint16 entries = u16At(bytes, end + 10);
    qsizetype at = qsizetype(u32At(bytes, end + 16));
    quint64 total = 0;
    for (quint16 i = 0; i < entries; ++i) {
        if (at < 0 || at + 46 > bytes.size() || u32At(bytes, at) != kDirectoryEntry)
            fail(Fault::Damaged);
        const quint64 size = u32At(bytes, at + 24);
        if (u32At(bytes, at + 20) > quint64(bytes.size()))
            fail(Fault::Damaged); // more compressed bytes than the file holds
        total += size;
        if (size > kMaxPartSize || total > kMaxTotalSize)
            fail(Fault::TooLarge);
        checkLocalHeader(bytes, qsizetype(u32At(bytes, at + 42)));
        at += 46 + u16At(bytes, at + 28) + u16At(bytes, at + 30) + u16At(bytes, at + 32);
    }
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

} // namespace

bool looksLikeZip(const QByteArray& bytes) {
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

ZipPackage::ZipPackage(const QByteArray& bytes) {
    checkDeclaredSizes(bytes);
    try {
        m_stream = std::make_unique<orcus::zip_archive_stream_blob>(
            reinterpret_cast<const uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
        m_archive = std::make_unique<orcus::zip_archive>(m_stream.get());
        m_archive->load();
        const std::size_t count = m_archive->get_file_entry_count();
        m_names.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            m_names.emplace_back(m_archive->get_file_entry_name(i));
    } catch (const std::bad_alloc&) {
        fail(Fault::Damaged);
    } catch (const std::exception&) {
        fail(Fault::Damaged);
    }
}

ZipPackage::~ZipPackage() = default;

const std::string* ZipPackage::find(std::string_view name) const {
    for (const std::string& entry : m_names) {
        if (entry == name)
            return &entry;
    }
    for (const std::string& entry : m_names) {
        if (sameIgnoringCase(entry, name))
            return &entry;
    }
    return nullptr;
}

bool ZipPackage::has(std::string_view name) const {
    return find(name) != nullptr;
}

std::vector<unsigned char> ZipPackage::read(std::string_view name) const {
    const std::string* entry = find(name);
    if (!entry)
        fail(Fault::MissingPart, QString::fromUtf8(name.data(), qsizetype(name.size())));
    std::vector<unsigned char> content;
    try {
        if (!m_archive->read_file_entry(*entry, content))
            fail(Fault::Damaged, QString::fromStdString(*entry));
    } catch (const std::bad_alloc&) {
        fail(Fault::Damaged, QString::fromStdString(*entry));
    } catch (const std::exception&) {
        fail(Fault::Damaged, QString::fromStdString(*entry));
    }
    return content;
}

} // namespace kestrel::package
