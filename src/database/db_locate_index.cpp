#include "database/db_locate_index.h"

namespace kestrel {

namespace {

constexpr std::size_t kInitialSlots = 64;

} // namespace

quint32 foldedHash(QStringView text) {
    quint32 hash = 2166136261u; // FNV-1a over the folded code points
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t code = text[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < size && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const char32_t folded = QChar::toCaseFolded(code);
        hash = (hash ^ static_cast<quint32>(folded)) * 16777619u;
    }
    return hash;
}

void LocateIndex::reserve(qsizetype rows, qsizetype characters) {
    m_buffer.reserve(characters);
    const auto count = static_cast<std::size_t>(rows);
    m_starts.reserve(count + 1);
    m_ordinals.reserve(count);
    m_hashes.reserve(count);
    rehash(count * 2);
}

void LocateIndex::rehash(std::size_t minimumSlots) {
    std::size_t slotCount = kInitialSlots;
    while (slotCount < minimumSlots)
        slotCount *= 2;
    if (slotCount <= m_slots.size())
        return;
    m_slots.assign(slotCount, -1);
    for (std::size_t i = 0; i < m_hashes.size(); ++i) {
        std::size_t slot = m_hashes[i] & (slotCount - 1);
        while (m_slots[slot] >= 0)
            slot = (slot + 1) & (slotCount - 1);
        m_slots[slot] = static_cast<qint32>(i);
    }
}

QStringView LocateIndex::entry(std::size_t index) const {
    return QStringView(m_buffer).mid(m_starts[index], m_starts[index + 1] - m_starts[index]);
}

std::optional<std::size_t> LocateIndex::findEntry(QStringView value, quint32 hash) const {
    if (m_slots.empty())
        return std::nullopt;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask; m_slots[slot] >= 0; slot = (slot + 1) & mask) {
        const auto index = static_cast<std::size_t>(m_slots[slot]);
        if (m_hashes[index] == hash && entry(index).compare(value, Qt::CaseInsensitive) == 0)
            return index;
    }
    return std::nullopt;
}

void LocateIndex::growSlots() {
    const std::size_t entries = m_hashes.size() + 1;
    if (entries * 2 > m_slots.size())
        rehash(entries * 4); // keeps the table at most half full
}

void LocateIndex::add(const QString& value, qsizetype ordinal) {
    const quint32 hash = foldedHash(value);
    if (findEntry(value, hash))
        return; // a locate finds the first row of a value
    growSlots();
    const std::size_t index = m_hashes.size();
    m_buffer.append(value);
    m_starts.push_back(m_buffer.size());
    m_ordinals.push_back(ordinal);
    m_hashes.push_back(hash);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    while (m_slots[slot] >= 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = static_cast<qint32>(index);
}

std::optional<LocateIndex::Hit> LocateIndex::find(const QString& value) const {
    const std::optional<std::size_t> index = findEntry(value, foldedHash(value));
    if (!index)
        return std::nullopt;
    return Hit{m_ordinals[*index], entry(*index).toString()};
}

} // namespace kestrel
