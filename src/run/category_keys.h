#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>
#include <functional>

namespace kestrel {

// The form of a generated category key: a prefix, a run of digits taken from the time of day,
// and for card types the pair's row number after them.
struct CategoryKeyForm {
    enum class Prefix { Literal, BranchNumber };
    Prefix prefixKind = Prefix::Literal;
    QString prefix; // Literal: "DR", "0000" or empty
    int digits = 9; // the last `digits` of the nine time digits (9, 4 or 3)
    bool appendsRowNumber = false;
};

// The nine time digits of a time of day: hour, minute, second, millisecond ("HHmmssszzz").
QString timeDigits(const QTime& time);

// Gives generated category keys that are never already taken nor given earlier in the same run.
// The first candidate is the key of the form made from the time of day; when it is taken the
// digits count up, wrapping round, until a free one is found. Keys compare ignoring letter case.
class CategoryKeyGenerator {
public:
    using IsTaken = std::function<bool(const QString& key)>;

    explicit CategoryKeyGenerator(std::function<QDateTime()> now);

    // Throws kestrel::Error when every key of the form is taken.
    QString generate(const CategoryKeyForm& form, const QString& branchNumber, int rowNumber,
                     const IsTaken& isTakenInTable);
    // Records a key that was written (generated or given by the imported rows).
    void noteGiven(const QString& key);
    bool wasGiven(const QString& key) const;

private:
    std::function<QDateTime()> m_now;
    QSet<QString> m_given; // case-folded
};

} // namespace kestrel
