#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <memory>
#include <string>

namespace kestrel {

// The texts cellToText() gives date cells, as UTF-8, made fast for tools that write many of
// them: the locale's date and time forms are split once into fields (day, month, year, weekday,
// hour, minute, second, AM/PM) whose texts QLocale itself gives, and the result is checked
// against QLocale for every day, month, weekday, hour, minute and second. A form that cannot
// be split, or fails the check, is written through QLocale for each distinct value instead.
class DateCellTexts {
public:
    explicit DateCellTexts(const QLocale& locale);
    ~DateCellTexts();
    DateCellTexts(const DateCellTexts&) = delete;
    DateCellTexts& operator=(const DateCellTexts&) = delete;

    // Appends cellToText() of a date cell of that day and time of day.
    void append(std::string& out, const QDate& date, const QTime& time);
    // Whether the date form and the time form passed the check.
    bool datesAreFast() const;
    bool timesAreFast() const;

private:
    class Form;
    void appendDate(std::string& out, const QDate& date);
    void appendTime(std::string& out, const QTime& time);

    QLocale m_locale;
    QString m_dateFormText; // the forms cellToText() uses
    QString m_timeFormText;
    std::unique_ptr<Form> m_dateForm; // null when the date form is written through QLocale
    std::unique_ptr<Form> m_timeForm;
    struct Fallback;
    std::unique_ptr<Fallback> m_fallback;
};

} // namespace kestrel
