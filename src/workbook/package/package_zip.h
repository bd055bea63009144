#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orcus {
class zip_archive;
class zip_archive_stream_blob;
} // namespace orcus

namespace kestrel::package {

// Why a package cannot be read; turned into the operator's message by the caller.
enum class Fault { Damaged, MissingPart, Encrypted, TooLarge, NotSpreadsheet };

struct PackageError {
    Fault fault;
    QString part; // the part concerned, when there is one
};

// A ZIP package (.xlsx, .xlsm, .ods) read through liborcus. The bytes must outlive it. Every
// entry's declared size is checked before anything is inflated, so that a small file cannot
// make the reader take gigabytes.
class ZipPackage {
public:
    explicit ZipPackage(const QByteArray& bytes);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // Entry names match exactly, or without regard to letter case as Office does.
    bool has(std::string_view name) const;
    // Throws PackageError (MissingPart) when the entry is not there, Damaged when it cannot be
    // inflated.
    std::vector<unsigned char> read(std::string_view name) const;

private:
    const std::string* find(std::string_view name) const;

    std::unique_ptr<orcus::zip_archive_stream_blob> m_stream;
    std::unique_ptr<orcus::zip_archive> m_archive;
    std::vector<std::string> m_names;
};

// Whether the bytes start like a ZIP archive.
bool looksLikeZip(const QByteArray& bytes);

} // namespace kestrel::package
