#pragma once

#include <QString>
#include <optional>
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
    qsizetype size() const { return static_cast<qsizetype>(m_ordinals.size()); }

private:
    // The hash beside the entry: a probe reads one place in memory, not two.
    struct Slot {
        quint32 hash = 0;
        qint32 entry = -1; // -1: free
    };

    QStringView entry(std::size_t index) const;
    // The slot holding the value, else the free slot where it would go.
    std::size_t probe(QStringView value, quint32 hash) const;
    void growSlots();
    void rehash(std::size_t minimumSlots);

    QString m_buffer;
    std::vector<qsizetype> m_starts{0}; // entry i spans m_starts[i] .. m_starts[i + 1]
    std::vector<qsizetype> m_ordinals;
    std::vector<Slot> m_slots; // open addressing, power-of-two size, at most half full
};

// Hash of a text with each character case-folded, so that texts equal without regard to letter
// case hash alike.
quint32 foldedHash(QStringView text);

} // namespace kestrel
