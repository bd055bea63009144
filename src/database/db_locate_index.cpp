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
        if (code < 0x80) { // ASCII folds to lower case; keys are mostly digits and letters
            if (code >= u'A' && code <= u'Z')
                code += u'a' - u'A';
            hash = (hash ^ static_cast<quint32>(code)) * 16777619u;
            continue;
        }
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
    m_buffer.reserve(static_cast<std::size_t>(characters));
    const auto count = static_cast<std::size_t>(rows);
    m_starts.reserve(count + 1);
    m_ordinals.reserve(count);
    // Room for a quarter more: the rows an import posts join the index without refiling it.
    rehash((count + count / 4) * 2);
}

void LocateIndex::rehash(std::size_t minimumSlots) {
    std::size_t slotCount = kInitialSlots;
    while (slotCount < minimumSlots)
        slotCount *= 2;
    if (slotCount <= m_slots.size())
        return;
    std::vector<Slot> old(slotCount);
    old.swap(m_slots);
    for (const Slot& taken : old) {
        if (taken.entry < 0)
            continue;
        std::size_t slot = taken.hash & (slotCount - 1);
        while (m_slots[slot].entry >= 0)
            slot = (slot + 1) & (slotCount - 1);
        m_slots[slot] = taken;
    }
}

QStringView LocateIndex::entry(std::size_t index) const {
    return QStringView(m_buffer.data() + m_starts[index], m_starts[index + 1] - m_starts[index]);
}

std::size_t LocateIndex::probe(QStringView value, quint32 hash) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    for (; m_slots[slot].entry >= 0; slot = (slot + 1) & mask) {
        const Slot& taken = m_slots[slot];
        if (taken.hash == hash &&
            entry(std::size_t(taken.entry)).compare(value, Qt::CaseInsensitive) == 0)
            break;
    }
    return slot;
}

void LocateIndex::growSlots() {
    const auto entries = static_cast<std::size_t>(m_size) + 1;
    if (entries * 2 > m_slots.size())
        rehash(m_slots.size() * 2);
}

void LocateIndex::appendEntry(QStringView value, qsizetype ordinal) {
    m_buffer.append(reinterpret_cast<const char16_t*>(value.utf16()),
                    static_cast<std::size_t>(value.size()));
    m_starts.push_back(static_cast<qsizetype>(m_buffer.size()));
    m_ordinals.push_back(ordinal);
}

void LocateIndex::file(std::size_t index, quint32 hash) {
    Slot& slot = m_slots[probe(entry(index), hash)];
    if (slot.entry >= 0)
        return; // a locate finds the first row of a value
    slot = {hash, static_cast<qint32>(index)};
    ++m_size;
}

void LocateIndex::add(QStringView value, qsizetype ordinal) {
    const quint32 hash = foldedHash(value);
    if (m_bulk) {
        appendEntry(value, ordinal);
        m_bulkHashes.push_back(hash);
        return;
    }
    growSlots();
    if (m_slots[probe(value, hash)].entry >= 0)
        return; // a locate finds the first row of a value
    appendEntry(value, ordinal);
    file(m_ordinals.size() - 1, hash);
}

void LocateIndex::endBulk() {
    m_bulk = false;
    const std::size_t count = m_bulkHashes.size();
    const std::size_t first = m_ordinals.size() - count;
    rehash((static_cast<std::size_t>(m_size) + count) * 2);
    // A stable counting sort by the leading bits of each home slot: equal values share a home
    // and keep their row order, so the first row of a value is still the one filed.
    const std::size_t mask = m_slots.size() - 1;
    int shift = 0;
    while ((m_slots.size() >> shift) > 4096)
        ++shift;
    std::vector<std::uint32_t> starts((m_slots.size() >> shift) + 1, 0);
    for (const quint32 hash : m_bulkHashes)
        ++starts[((hash & mask) >> shift) + 1];
    for (std::size_t bucket = 1; bucket < starts.size(); ++bucket)
        starts[bucket] += starts[bucket - 1];
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[starts[(m_bulkHashes[i] & mask) >> shift]++] = static_cast<std::uint32_t>(i);
    for (const std::uint32_t i : order)
        file(first + i, m_bulkHashes[i]);
    m_bulkHashes = {};
}

std::optional<LocateIndex::Hit> LocateIndex::find(const QString& value) const {
    if (m_slots.empty())
        return std::nullopt;
    const Slot& slot = m_slots[probe(value, foldedHash(value))];
    if (slot.entry < 0)
        return std::nullopt;
    const auto index = static_cast<std::size_t>(slot.entry);
    return Hit{m_ordinals[index], entry(index).toString()};
}

} // namespace kestrel
