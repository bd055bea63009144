#include "xls_test_builder.h"

#include <algorithm>
#include <cstring>

namespace kestrel::test {

QByteArray le16(std::uint16_t value) {
    QByteArray out(2, '\0');
    out[0] = char(value & 0xFF);
    out[1] = char(value >> 8);
    return out;
}

QByteArray le32(std::uint32_t value) {
    return le16(std::uint16_t(value & 0xFFFF)) + le16(std::uint16_t(value >> 16));
}

QByteArray le64(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return le32(std::uint32_t(bits & 0xFFFFFFFF)) + le32(std::uint32_t(bits >> 32));
}

QByteArray record(std::uint16_t id, const QByteArray& body) {
    return le16(id) + le16(std::uint16_t(body.size())) + body;
}

QByteArray cellHeader(std::uint16_t row, std::uint16_t column, std::uint16_t xf) {
    return le16(row) + le16(column) + le16(xf);
}

QByteArray unicodeString(const QString& text, bool latin1) {
    QByteArray out = le16(std::uint16_t(text.size()));
    if (latin1) {
        return out + char(0) + text.toLatin1();
    }
    out += char(1);
    for (QChar c : text) {
        out += le16(c.unicode());
    }
    return out;
}

QByteArray numberCell(std::uint16_t row, std::uint16_t column, double value, std::uint16_t xf) {
    return record(0x0203, cellHeader(row, column, xf) + le64(value));
}

QByteArray labelSstCell(std::uint16_t row, std::uint16_t column, std::uint32_t index) {
    return record(0x00FD, cellHeader(row, column) + le32(index));
}

QByteArray blankCell(std::uint16_t row, std::uint16_t column) {
    return record(0x0201, cellHeader(row, column));
}

QByteArray boolErrCell(std::uint16_t row, std::uint16_t column, std::uint8_t value, bool isError) {
    return record(0x0205, cellHeader(row, column) + char(value) + char(isError ? 1 : 0));
}

QByteArray formulaCell(std::uint16_t row, std::uint16_t column, const QByteArray& result,
                       std::uint16_t xf, std::uint16_t id) {
    // result, flags, chn, then a formula of one token (ptgInt 1)
    const QByteArray tokens = QByteArray("\x1E\x01\x00", 3);
    return record(id, cellHeader(row, column, xf) + result + le16(0) + le32(0) +
                          le16(std::uint16_t(tokens.size())) + tokens);
}

QByteArray formulaSpecialResult(std::uint8_t type, std::uint8_t value) {
    QByteArray out(8, '\0');
    out[0] = char(type);
    out[2] = char(value);
    out[6] = char(0xFF);
    out[7] = char(0xFF);
    return out;
}

QByteArray xfRecords(const std::vector<std::uint16_t>& formatIds) {
    QByteArray out;
    for (std::uint16_t id : formatIds) {
        out += record(0x00E0, le16(0) + le16(id) + QByteArray(16, '\0'));
    }
    return out;
}

QByteArray formatRecord(std::uint16_t id, const QString& code) {
    return record(0x041E, le16(id) + unicodeString(code));
}

namespace {

QByteArray bof(bool biff8, std::uint16_t substream) {
    QByteArray body = le16(biff8 ? 0x0600 : 0x0500) + le16(substream) + le16(0x0DBB) + le16(1996);
    if (biff8) {
        body += le32(0) + le32(0x0600);
    }
    return record(0x0809, body);
}

QByteArray eof() {
    return record(0x000A, {});
}

QByteArray boundSheet(const WorkbookSpec& layout, std::size_t index, std::uint32_t offset) {
    const SheetSpec& sheet = layout.sheets[index];
    QByteArray body = le32(offset) + char(0) + char(sheet.type);
    if (layout.biff8) {
        body += char(sheet.name.size());
        body += char(1);
        for (QChar c : sheet.name) {
            body += le16(c.unicode());
        }
    } else {
        const QByteArray name =
            index < layout.biff5Names.size() ? layout.biff5Names[index] : sheet.name.toLatin1();
        body += char(name.size()) + name;
    }
    return record(0x0085, body);
}

} // namespace

QByteArray workbookStream(const WorkbookSpec& layout) {
    // Offsets are known once the globals' size is: build them once with zero offsets.
    auto globals = [&](const std::vector<std::uint32_t>& offsets) {
        QByteArray out = bof(layout.biff8, 0x0005) + layout.globals;
        for (std::size_t i = 0; i < layout.sheets.size(); ++i) {
            out += boundSheet(layout, i, offsets.empty() ? 0 : offsets[i]);
        }
        return out + layout.afterSheets + eof();
    };
    std::vector<std::uint32_t> offsets;
    std::uint32_t position = std::uint32_t(globals({}).size());
    QByteArray sheets;
    for (const SheetSpec& sheet : layout.sheets) {
        offsets.push_back(position);
        const QByteArray substream = bof(layout.biff8, sheet.substream) + sheet.records + eof();
        sheets += substream;
        position += std::uint32_t(substream.size());
    }
    return globals(offsets) + sheets;
}

QByteArray compoundFile(const QByteArray& stream, const QString& streamName, bool scattered) {
    constexpr std::uint32_t kEnd = 0xFFFFFFFE;
    constexpr std::uint32_t kFree = 0xFFFFFFFF;
    constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
    QByteArray data = stream;
    if (data.size() < 4096) {
        data.append(QByteArray(4096 - data.size(), '\0')); // keep it out of the mini stream
    }
    const std::uint32_t streamSectors = std::uint32_t((data.size() + 511) / 512);
    data.append(QByteArray(qsizetype(streamSectors) * 512 - data.size(), '\0'));
    std::uint32_t fatSectors = 1;
    while (fatSectors * 128 < fatSectors + 1 + streamSectors) {
        ++fatSectors;
    }
    // Layout: FAT sectors, one directory sector, then the stream.
    const std::uint32_t dirSector = fatSectors;
    const std::uint32_t firstStream = fatSectors + 1;
    std::vector<std::uint32_t> fat(fatSectors * 128, kFree);
    for (std::uint32_t i = 0; i < fatSectors; ++i) {
        fat[i] = kFatSector;
    }
    fat[dirSector] = kEnd;
    // Where the stream's sector i lies in the file.
    const auto place = [&](std::uint32_t i) {
        return firstStream + (scattered ? streamSectors - 1 - i : i);
    };
    for (std::uint32_t i = 0; i < streamSectors; ++i) {
        fat[place(i)] = i + 1 == streamSectors ? kEnd : place(i + 1);
    }
    QByteArray sectors(data.size(), '\0');
    for (std::uint32_t i = 0; i < streamSectors; ++i) {
        sectors.replace(qsizetype(place(i) - firstStream) * 512, 512,
                        data.mid(qsizetype(i) * 512, 512));
    }

    QByteArray header("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header += QByteArray(16, '\0') + le16(0x003E) + le16(3) + le16(0xFFFE) + le16(9) + le16(6) +
              QByteArray(6, '\0') + le32(0) + le32(fatSectors) + le32(dirSector) + le32(0) +
              le32(4096) + le32(kEnd) + le32(0) + le32(kEnd) + le32(0);
    for (std::uint32_t i = 0; i < 109; ++i) {
        header += le32(i < fatSectors ? i : kFree);
    }

    QByteArray fatBytes;
    for (std::uint32_t entry : fat) {
        fatBytes += le32(entry);
    }
    auto dirEntry = [](const QString& name, std::uint8_t type, std::uint32_t child,
                       std::uint32_t start, std::uint32_t size) {
        QByteArray entry;
        for (QChar c : name) {
            entry += le16(c.unicode());
        }
        entry += QByteArray(64 - entry.size(), '\0');
        entry += le16(std::uint16_t(name.isEmpty() ? 0 : (name.size() + 1) * 2));
        entry += char(type);
        entry += char(1); // black node
        entry += le32(0xFFFFFFFF) + le32(0xFFFFFFFF) + le32(child);
        entry += QByteArray(16 + 4 + 16, '\0');
        entry += le32(start) + le32(size) + le32(0);
        return entry;
    };
    QByteArray directory = dirEntry(QStringLiteral("Root Entry"), 5, 1, kEnd, 0) +
                           dirEntry(streamName, 2, 0xFFFFFFFF, place(0),
                                    std::uint32_t(std::max<qsizetype>(stream.size(), 4096)));
    directory +=
        dirEntry(QString(), 0, 0xFFFFFFFF, 0, 0) + dirEntry(QString(), 0, 0xFFFFFFFF, 0, 0);
    return header + fatBytes + directory + sectors;
}

} // namespace kestrel::test
