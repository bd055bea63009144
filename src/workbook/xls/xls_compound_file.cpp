#include "workbook/xls/xls_compound_file.h"

#include "workbook/xls/xls_bytes.h"

#include <QString>
#include <algorithm>
#include <optional>
#include <vector>

namespace kestrel::xls {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::uint8_t kStreamEntry = 2;
constexpr std::uint8_t kRootEntry = 5;

struct DirEntry {
    QString name;
    std::uint8_t type = 0;
    std::uint32_t left = kNoStream;
    std::uint32_t right = kNoStream;
    std::uint32_t child = kNoStream;
    std::uint32_t start = 0;
    std::uint64_t size = 0;
};

bool startsWith(const QByteArray& file, const char* magic, qsizetype length) {
    return file.size() >= length && std::memcmp(file.constData(), magic, std::size_t(length)) == 0;
}

class CompoundFile {
public:
    explicit CompoundFile(const QByteArray& file)
        : m_data(reinterpret_cast<const unsigned char*>(file.constData())),
          m_size(std::size_t(file.size())) {
        readHeader();
        readFat();
        readDirectory();
        readMiniStream();
    }

    QByteArray workbookStream() const {
        const DirEntry* entry = findWorkbookEntry();
        if (!entry) {
            fail(FileFault::NotWorkbook);
        }
        if (entry->size < m_miniCutoff) {
            return readMiniChain(entry->start, std::size_t(entry->size));
        }
        if (const unsigned char* run = contiguousChain(entry->start, entry->size)) {
            return QByteArray::fromRawData(reinterpret_cast<const char*>(run),
                                           qsizetype(entry->size));
        }
        return readChain(entry->start, entry->size);
    }

private:
    void readHeader() {
        if (m_size < kHeaderSize) {
            damaged();
        }
        const std::uint16_t sectorShift = readU16(m_data + 0x1E);
        const std::uint16_t miniShift = readU16(m_data + 0x20);
        if ((sectorShift != 9 && sectorShift != 12) || miniShift != 6 ||
            readU16(m_data + 0x1C) != 0xFFFE) {
            damaged();
        }
        m_sectorSize = std::size_t(1) << sectorShift;
        m_sectorShift = sectorShift;
        // Sector n starts at (n + 1) * sector size; a short last sector still counts.
        m_sectorCount = (m_size + m_sectorSize - 1) / m_sectorSize - 1;
        m_fatSectorCount = readU32(m_data + 0x2C);
        m_firstDirSector = readU32(m_data + 0x30);
        m_miniCutoff = readU32(m_data + 0x38);
        m_firstMiniFatSector = readU32(m_data + 0x3C);
        m_firstDifatSector = readU32(m_data + 0x44);
        m_difatSectorCount = readU32(m_data + 0x48);
        if (m_fatSectorCount == 0 || m_fatSectorCount > m_sectorCount ||
            m_difatSectorCount > m_sectorCount) {
            damaged();
        }
    }

    void readFat() {
        std::vector<std::uint32_t> fatSectors;
        fatSectors.reserve(m_fatSectorCount);
        for (std::size_t i = 0; i < 109 && fatSectors.size() < m_fatSectorCount; ++i) {
            fatSectors.push_back(readU32(m_data + 0x4C + 4 * i));
        }
        std::uint32_t difat = m_firstDifatSector;
        const std::size_t perDifat = m_sectorSize / 4 - 1;
        for (std::uint32_t steps = 0; fatSectors.size() < m_fatSectorCount; ++steps) {
            if (steps >= m_difatSectorCount) {
                damaged();
            }
            const unsigned char* sector = sectorData(difat, m_sectorSize);
            for (std::size_t i = 0; i < perDifat && fatSectors.size() < m_fatSectorCount; ++i) {
                fatSectors.push_back(readU32(sector + 4 * i));
            }
            difat = readU32(sector + 4 * perDifat);
        }
        const std::size_t perSector = m_sectorSize / 4;
        m_fat.reserve(fatSectors.size() * perSector);
        for (std::uint32_t fatSector : fatSectors) {
            const unsigned char* sector = sectorData(fatSector, m_sectorSize);
            for (std::size_t i = 0; i < perSector; ++i) {
                m_fat.push_back(readU32(sector + 4 * i));
            }
        }
    }

    void readDirectory() {
        const QByteArray bytes = readChain(m_firstDirSector, std::nullopt);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
        const std::size_t count = std::size_t(bytes.size()) / kDirEntrySize;
        m_entries.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char* e = p + i * kDirEntrySize;
            DirEntry& entry = m_entries[i];
            const std::size_t nameBytes = std::min<std::size_t>(readU16(e + 0x40), 64);
            const std::size_t nameChars = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
            entry.name.reserve(qsizetype(nameChars));
            for (std::size_t c = 0; c < nameChars; ++c) {
                entry.name.append(QChar(readU16(e + 2 * c)));
            }
            entry.type = e[0x42];
            entry.left = readU32(e + 0x44);
            entry.right = readU32(e + 0x48);
            entry.child = readU32(e + 0x4C);
            entry.start = readU32(e + 0x74);
            // Version 3 files may hold garbage in the high half of the size.
            entry.size = m_sectorShift == 9 ? readU32(e + 0x78) : readU64(e + 0x78);
        }
        if (m_entries.empty() || m_entries[0].type != kRootEntry) {
            damaged();
        }
    }

    void readMiniStream() {
        const DirEntry& root = m_entries[0];
        if (root.size == 0 || root.start == kEndOfChain) {
            return;
        }
        m_miniStream = readChain(root.start, root.size);
        if (m_firstMiniFatSector == kEndOfChain || m_firstMiniFatSector == kFreeSector) {
            return;
        }
        const QByteArray miniFat = readChain(m_firstMiniFatSector, std::nullopt);
        const auto* p = reinterpret_cast<const unsigned char*>(miniFat.constData());
        m_miniFat.resize(std::size_t(miniFat.size()) / 4);
        for (std::size_t i = 0; i < m_miniFat.size(); ++i) {
            m_miniFat[i] = readU32(p + 4 * i);
        }
    }

    // The root storage's children form a tree of siblings; walked without recursion, each
    // entry at most once so that a looping tree cannot hang the reader.
    const DirEntry* findWorkbookEntry() const {
        const DirEntry* book = nullptr;
        std::vector<bool> seen(m_entries.size(), false);
        std::vector<std::uint32_t> pending{m_entries[0].child};
        while (!pending.empty()) {
            const std::uint32_t id = pending.back();
            pending.pop_back();
            if (id >= m_entries.size() || seen[id]) {
                continue;
            }
            seen[id] = true;
            const DirEntry& entry = m_entries[id];
            pending.push_back(entry.left);
            pending.push_back(entry.right);
            if (entry.type != kStreamEntry) {
                continue;
            }
            if (entry.name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) == 0) {
                return &entry;
            }
            if (entry.name.compare(QLatin1String("Book"), Qt::CaseInsensitive) == 0) {
                book = &entry;
            }
        }
        return book;
    }

    const unsigned char* sectorData(std::uint32_t sector, std::size_t needed) const {
        if (sector >= m_sectorCount) {
            damaged();
        }
        const std::size_t offset = (std::size_t(sector) + 1) << m_sectorShift;
        if (offset > m_size || m_size - offset < needed) {
            damaged();
        }
        return m_data + offset;
    }

    // The stream's bytes when its sectors follow each other in the file, as writers save them;
    // nullptr otherwise.
    const unsigned char* contiguousChain(std::uint32_t start, std::uint64_t size) const {
        if (size == 0 || start >= m_sectorCount) {
            return nullptr;
        }
        const std::uint64_t sectors = (size + m_sectorSize - 1) / m_sectorSize;
        if (sectors > m_sectorCount - start) {
            return nullptr;
        }
        for (std::uint64_t i = 0; i + 1 < sectors; ++i) {
            const std::uint64_t sector = start + i;
            if (sector >= m_fat.size() || m_fat[sector] != sector + 1) {
                return nullptr;
            }
        }
        const std::size_t offset = (std::size_t(start) + 1) << m_sectorShift;
        if (offset > m_size || m_size - offset < size) {
            return nullptr;
        }
        return m_data + offset;
    }

    // Follows a FAT chain; without a size, the whole chain is read. A chain that comes back to
    // a sector it went through is a loop.
    QByteArray readChain(std::uint32_t start, std::optional<std::uint64_t> size) const {
        const std::uint64_t limit = std::uint64_t(m_sectorCount) * m_sectorSize;
        if (size && *size > limit) {
            damaged();
        }
        QByteArray out;
        if (size) {
            out.reserve(qsizetype(*size));
        }
        std::uint64_t remaining = size.value_or(limit);
        std::uint32_t sector = start;
        std::vector<bool> visited(m_sectorCount, false);
        while (remaining > 0 && sector != kEndOfChain) {
            if (sector >= m_fat.size() || sector >= m_sectorCount || visited[sector]) {
                damaged(); // off the table, or a loop
            }
            visited[sector] = true;
            const std::size_t take = std::size_t(std::min<std::uint64_t>(remaining, m_sectorSize));
            out.append(reinterpret_cast<const char*>(sectorData(sector, take)), qsizetype(take));
            remaining -= take;
            sector = m_fat[sector];
        }
        if (size && remaining > 0) {
            damaged();
        }
        return out;
    }

    QByteArray readMiniChain(std::uint32_t start, std::size_t size) const {
        constexpr std::size_t kMiniSector = 64;
        QByteArray out;
        out.reserve(qsizetype(size));
        std::size_t remaining = size;
        std::uint32_t sector = start;
        std::vector<bool> visited(m_miniFat.size(), false);
        while (remaining > 0) {
            if (sector >= m_miniFat.size() || visited[sector]) {
                damaged(); // off the table, or a loop
            }
            visited[sector] = true;
            const std::size_t offset = std::size_t(sector) * kMiniSector;
            const std::size_t take = std::min(remaining, kMiniSector);
            if (offset + take > std::size_t(m_miniStream.size())) {
                damaged();
            }
            out.append(m_miniStream.constData() + offset, qsizetype(take));
            remaining -= take;
            sector = m_miniFat[sector];
        }
        return out;
    }

    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_sectorSize = 512;
    unsigned m_sectorShift = 9;
    std::size_t m_sectorCount = 0;
    std::uint32_t m_fatSectorCount = 0;
    std::uint32_t m_firstDirSector = 0;
    std::uint32_t m_miniCutoff = 4096;
    std::uint32_t m_firstMiniFatSector = kEndOfChain;
    std::uint32_t m_firstDifatSector = kEndOfChain;
    std::uint32_t m_difatSectorCount = 0;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::vector<DirEntry> m_entries;
    QByteArray m_miniStream;
};

// A bare BIFF stream starts with a BOF record: 0x0809 for BIFF5/8, 0x0009/0x0209/0x0409 for
// the older formats.
bool isBareBiffBof(const QByteArray& file, std::uint16_t id) {
    if (file.size() < 8) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(file.constData());
    const std::uint16_t length = readU16(p + 2);
    return readU16(p) == id && length >= 4 && length <= 20;
}

} // namespace

QByteArray extractWorkbookStream(const QByteArray& file) {
    if (startsWith(file, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        return CompoundFile(file).workbookStream();
    }
    if (isBareBiffBof(file, 0x0809)) {
        return file;
    }
    if (isBareBiffBof(file, 0x0009) || isBareBiffBof(file, 0x0209) || isBareBiffBof(file, 0x0409)) {
        fail(FileFault::OldFormat);
    }
    fail(FileFault::NotWorkbook);
}

} // namespace kestrel::xls
