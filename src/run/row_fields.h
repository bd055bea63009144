#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <initializer_list>

namespace kestrel {

// Where the value of one written column comes from.
struct FieldSource {
    enum class Kind {
        Column,        // the text of a template column of the current row
        Text,          // a constant text
        Number,        // a constant number, set as a number
        GroupNumber,   // the trimmed group number (HotelTreeID)
        BranchNumber,  // the trimmed branch number (HotelID)
        BranchName,    // the trimmed branch name (HotelName)
        SameRow,       // the text already set for another column of the row being written
        MainRow,       // the text of a column of the main row just posted, read back
        MainRowNumber, // the same, read and set as a number
        TodayPlusDays, // the date of the run plus some days, as "yyyy-mm-dd"
    };

    Kind kind = Kind::Text;
    int column = 0;    // Column
    QString text;      // Text; the column name for SameRow, MainRow, MainRowNumber
    double number = 0; // Number
    int days = 0;      // TodayPlusDays
};

inline FieldSource templateColumn(int column) {
    return {FieldSource::Kind::Column, column, {}, 0, 0};
}
inline FieldSource constantText(const QString& text) {
    return {FieldSource::Kind::Text, 0, text, 0, 0};
}
// The column names and constant texts of the descriptions are UTF-8 literals.
inline FieldSource constantText(const char* utf8) {
    return constantText(QString::fromUtf8(utf8));
}
inline FieldSource constantNumber(double number) {
    return {FieldSource::Kind::Number, 0, {}, number, 0};
}
inline FieldSource groupNumber() {
    return {FieldSource::Kind::GroupNumber, 0, {}, 0, 0};
}
inline FieldSource branchNumber() {
    return {FieldSource::Kind::BranchNumber, 0, {}, 0, 0};
}
inline FieldSource branchName() {
    return {FieldSource::Kind::BranchName, 0, {}, 0, 0};
}
inline FieldSource sameRow(const QString& column) {
    return {FieldSource::Kind::SameRow, 0, column, 0, 0};
}
inline FieldSource mainRow(const QString& column) {
    return {FieldSource::Kind::MainRow, 0, column, 0, 0};
}
inline FieldSource mainRowNumber(const QString& column) {
    return {FieldSource::Kind::MainRowNumber, 0, column, 0, 0};
}
inline FieldSource todayPlusDays(int days) {
    return {FieldSource::Kind::TodayPlusDays, 0, {}, 0, days};
}

struct FieldWrite {
    QString column;
    FieldSource source;
};

// The columns of a written row in the order they are set.
class FieldList {
public:
    FieldList& set(const QString& column, const FieldSource& source) {
        m_writes.append({column, source});
        return *this;
    }
    FieldList& set(const char* column, const FieldSource& source) {
        return set(QString::fromLatin1(column), source);
    }
    // Several columns set to the empty text, in the order given.
    FieldList& empty(std::initializer_list<const char*> columns) {
        for (const char* column : columns)
            set(QString::fromLatin1(column), constantText(QString()));
        return *this;
    }
    // Several columns set to the same constant text, in the order given.
    FieldList& text(std::initializer_list<const char*> columns, const char* utf8Value) {
        for (const char* column : columns)
            set(QString::fromLatin1(column), constantText(utf8Value));
        return *this;
    }

    const QList<FieldWrite>& writes() const { return m_writes; }
    bool isEmpty() const { return m_writes.isEmpty(); }

private:
    QList<FieldWrite> m_writes;
};

} // namespace kestrel
