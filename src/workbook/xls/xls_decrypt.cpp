#include "workbook/xls/xls_decrypt.h"

#include "workbook/xls/xls_records.h"

#include <QCryptographicHash>
#include <array>

namespace kestrel::xls {
namespace {

constexpr std::size_t kBlockSize = 1024;
constexpr std::size_t kSaltSize = 16;

class Rc4 {
public:
    explicit Rc4(const QByteArray& key) {
        for (std::size_t i = 0; i < m_state.size(); ++i) {
            m_state[i] = static_cast<std::uint8_t>(i);
        }
        std::uint8_t j = 0;
        for (std::size_t i = 0; i < m_state.size(); ++i) {
            j = static_cast<std::uint8_t>(
                j + m_state[i] + static_cast<std::uint8_t>(key[qsizetype(i) % key.size()]));
            std::swap(m_state[i], m_state[j]);
        }
    }

    std::uint8_t next() {
        m_i = static_cast<std::uint8_t>(m_i + 1);
        m_j = static_cast<std::uint8_t>(m_j + m_state[m_i]);
        std::swap(m_state[m_i], m_state[m_j]);
        return m_state[static_cast<std::uint8_t>(m_state[m_i] + m_state[m_j])];
    }

private:
    std::array<std::uint8_t, 256> m_state{};
    std::uint8_t m_i = 0;
    std::uint8_t m_j = 0;
};

QByteArray md5(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

// The 40-bit password hash of the standard RC4 scheme.
QByteArray passwordHash(const QByteArray& salt) {
    QByteArray password;
    for (char c : QByteArray("VelvetSweatshop")) {
        password.append(c).append('\0');
    }
    const QByteArray truncated = md5(password).left(5);
    QByteArray intermediate;
    for (int i = 0; i < 16; ++i) {
        intermediate += truncated + salt;
    }
    return md5(intermediate).left(5);
}

QByteArray blockKey(const QByteArray& hash, std::uint32_t block) {
    QByteArray data = hash;
    for (int shift = 0; shift < 32; shift += 8) {
        data.append(static_cast<char>((block >> shift) & 0xFF));
    }
    return md5(data);
}

bool passwordMatches(const QByteArray& hash, const unsigned char* header) {
    Rc4 rc4(blockKey(hash, 0));
    QByteArray verifier(16, '\0');
    QByteArray verifierHash(16, '\0');
    for (int i = 0; i < 16; ++i) {
        verifier[i] = static_cast<char>(header[kSaltSize + std::size_t(i)] ^ rc4.next());
    }
    for (int i = 0; i < 16; ++i) {
        verifierHash[i] = static_cast<char>(header[2 * kSaltSize + std::size_t(i)] ^ rc4.next());
    }
    return md5(verifier) == verifierHash;
}

// Records whose data is stored in the clear; BOUNDSHEET keeps its stream offset in the clear.
bool isPlainRecord(std::uint16_t id) {
    switch (id) {
    case record::kBof:
    case record::kFilePass:
    case 0x0194: // UsrExcl
    case 0x0195: // FileLock
    case 0x00E1: // InterfaceHdr
    case 0x0196: // RRDInfo
    case 0x0138: // RRDHead
        return true;
    default:
        return false;
    }
}

QByteArray keystream(const QByteArray& hash, std::size_t size) {
    QByteArray out(qsizetype(size), '\0');
    for (std::size_t start = 0; start < size; start += kBlockSize) {
        Rc4 rc4(blockKey(hash, static_cast<std::uint32_t>(start / kBlockSize)));
        for (std::size_t i = start; i < std::min(size, start + kBlockSize); ++i) {
            out[qsizetype(i)] = static_cast<char>(rc4.next());
        }
    }
    return out;
}

} // namespace

QByteArray decryptWithDefaultPassword(const QByteArray& stream) {
    const auto* data = reinterpret_cast<const unsigned char*>(stream.constData());
    const std::size_t size = std::size_t(stream.size());
    RecordStream records(data, size);
    Record rec;
    Fragment filePass;
    // FILEPASS sits in the globals, before every record it protects.
    while (records.next(rec) && rec.id != record::kEof) {
        if (rec.id == record::kFilePass) {
            filePass = rec.body;
            break;
        }
    }
    if (!filePass.data) {
        return stream;
    }
    // RC4 (type 1), standard encryption header version 1.1: salt, verifier, verifier hash.
    const bool standardRc4 = filePass.size >= 6 + 3 * kSaltSize && readU16(filePass.data) == 1 &&
                             readU16(filePass.data + 2) == 1 && readU16(filePass.data + 4) == 1;
    if (!standardRc4) {
        fail(FileFault::Encrypted);
    }
    const unsigned char* header = filePass.data + 6;
    const QByteArray hash =
        passwordHash(QByteArray(reinterpret_cast<const char*>(header), qsizetype(kSaltSize)));
    if (!passwordMatches(hash, header)) {
        fail(FileFault::Encrypted);
    }
    const QByteArray mask = keystream(hash, size);
    QByteArray plain = stream;
    records.seek(std::size_t(filePass.data - data) + filePass.size);
    while (true) {
        try {
            if (!records.next(rec)) {
                break;
            }
        } catch (const FormatError&) {
            break; // padding after the last record; the reader proper judges the rest
        }
        if (isPlainRecord(rec.id)) {
            continue;
        }
        std::size_t from = std::size_t(rec.body.data - data);
        if (rec.id == record::kBoundSheet) {
            from += std::min<std::size_t>(4, rec.body.size);
        }
        const std::size_t end = std::size_t(rec.body.data - data) + rec.body.size;
        for (std::size_t i = from; i < end; ++i) {
            plain[qsizetype(i)] = static_cast<char>(plain[qsizetype(i)] ^ mask[qsizetype(i)]);
        }
    }
    return plain;
}

} // namespace kestrel::xls
