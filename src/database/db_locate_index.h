#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel {

// The values of one result column, searchable by whole value without regard to letter case.
// Kept compact (one character buffer, no string per row) so that a column of a million rows
// costs tens of megabytes, not hundreds. Only the first row of each folded value is kept.
class LocateIndex {
public:
    struct Hit {
        qsizetype ordinal; // position of the row in the result, from 0
        QString value;     // the value as stored
    };

    void reserve(qsizetype rows, qsizetype characters);
    void add(QStringView value, qsizetype ordinal);
    std::optional<Hit> find(const QString& value) const;
    qsizetype size() const { return m_size; }

    // A whole column at once: between these, add() only keeps the values, and endBulk() files
    // them in the order of their slots, front to back: a table of a million slots is then
    // written in one sweep instead of at a million random places. find() waits for endBulk().
    void beginBulk() { m_bulk = true; }
    void endBulk();

private:
    // The hash beside the entry: a probe reads one place in memory, not two.
    struct Slot {
        quint32 hash = 0;
        qint32 entry = -1; // -1: free
    };

    QStringView entry(std::size_t index) const;
    // The slot holding the value, else the free slot where it would go.
    std::size_t probe(QStringView value, quint32 hash) const;
    void appendEntry(QStringView value, qsizetype ordinal);
    // Files entry `index` under its hash unless an equal value is filed already.
    void file(std::size_t index, quint32 hash);
    void growSlots();
    void rehash(std::size_t minimumSlots);

    std::u16string m_buffer;            // the entries' texts, one after another
    std::vector<qsizetype> m_starts{0}; // entry i spans m_starts[i] .. m_starts[i + 1]
    std::vector<qsizetype> m_ordinals;
    std::vector<Slot> m_slots; // open addressing, power-of-two size, at most half full
    qsizetype m_size = 0;      // entries filed; values equal to an earlier one are not
    bool m_bulk = false;
    std::vector<quint32> m_bulkHashes; // of the entries kept since beginBulk(), in order
};

// Hash of a text with each character case-folded, so that texts equal without regard to letter
// case hash alike.
quint32 foldedHash(QStringView text);

} // namespace kestrel
