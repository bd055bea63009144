#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QByteArray;
class QIODevice;

namespace kestrel::package {

// Why a package cannot be read; turned into the operator's message by the caller.
enum class Fault { Damaged, MissingPart, Encrypted, TooLarge, NotSpreadsheet };

struct PackageError {
    Fault fault;
    QString part; // the part concerned, when there is one
};

// A part inflates to at most this many times its compressed size (real parts stay below 150),
// and all parts read together to at most this many times the file's size: a small file cannot
// make the reader work through gigabytes.
constexpr std::uint64_t kMaxInflateRatio = 500;
// What any part may inflate to beyond the ratio: a tiny part may compress extremely well.
constexpr std::uint64_t kInflateAllowance = std::uint64_t(1) << 20;

// A ZIP package (.xlsx, .xlsm, .ods) read from a random-access device, which must outlive it.
// The directory is read and checked at once; a part is inflated block by block as it is read,
// never held whole. Every part's sizes are checked against the inflate ratio before anything is
// inflated, and what it inflates to against its declared size and checksum.
class ZipPackage {
public:
    explicit ZipPackage(QIODevice& device);

    struct Entry {
        std::string name;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        std::uint64_t dataOffset = 0;
        std::uint32_t crc = 0;
        std::uint16_t method = 0;
    };

    // Reads one part in blocks. Throws PackageError (Damaged, naming the part) when its data
    // does not inflate to what the directory declares.
    class PartReader {
    public:
        PartReader(const ZipPackage& zip, const Entry& entry);
        ~PartReader();
        PartReader(const PartReader&) = delete;
        PartReader& operator=(const PartReader&) = delete;

        // Fills `into` with up to `size` bytes of the part; 0 once the part has ended (and its
        // size and checksum were found right).
        std::size_t read(char* into, std::size_t size);
        QString partName() const;

    private:
        std::size_t inflateInto(char* into, std::size_t size);
        void finish();
        [[noreturn]] void damaged() const;

        const ZipPackage& m_zip;
        const Entry& m_entry;
        std::vector<char> m_input;
        std::uint64_t m_inputLeft = 0; // compressed bytes not yet read from the device
        std::uint64_t m_produced = 0;
        std::uint32_t m_crc = 0;
        bool m_ended = false;
        struct Inflater;
        std::unique_ptr<Inflater> m_inflater; // none for a part stored as it is
    };

    // Entry names match exactly, or without regard to letter case as Office does.
    bool has(std::string_view name) const;
    // Throws PackageError (MissingPart) when the entry is not there.
    const Entry& entry(std::string_view name) const;

private:
    friend class PartReader;
    void readDirectory();
    void readEntry(const char* record, std::size_t size, std::size_t& at);
    void checkLocalHeader(Entry& entry);
    void readAt(std::uint64_t offset, char* into, std::size_t size) const;
    // Counts what was inflated against the ratio to the file's size.
    void countInflated(std::size_t bytes) const;
    const Entry* find(std::string_view name) const;

    QIODevice& m_device;
    std::uint64_t m_fileSize = 0;
    std::vector<Entry> m_entries;
    mutable std::uint64_t m_inflated = 0;
};

// Whether the bytes start like a ZIP archive.
bool looksLikeZip(const QByteArray& bytes);

} // namespace kestrel::package
