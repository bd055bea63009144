#include "text/date_texts.h"

#include "text/textrules.h"

#include <unordered_map>
#include <vector>

namespace kestrel {

namespace {

const QDate kAutomationDayZero(1899, 12, 30);
constexpr int kLastYear = 9999;
constexpr qint64 kFirstJulianDay = 1721426; // 0001-01-01
constexpr qint64 kLastJulianDay = 5373484;  // 9999-12-31

// The Gregorian calendar day of a Julian day number from year 1 on, as QDate has it, without
// QDate's slower general conversion (days counted from 0000-03-01 in 400-year eras).
void civilDate(qint64 julianDay, int& year, int& month, int& day) {
    const qint64 days = julianDay - 1721120; // 0000-03-01
    const qint64 era = days / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 shiftedMonth = (5 * dayOfYear + 2) / 153; // March is 0
    day = int(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = int(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    year = int(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

enum class Field { Literal, Day, Weekday, Month, Year, Hour, Minute, Second, Meridiem };

// One piece of a form: fixed text, or a field whose texts are looked up by its number.
struct Piece {
    Field field = Field::Literal;
    QString token;                  // the field's letters, as the form has them
    std::string literal;            // Literal
    std::vector<std::string> texts; // by day, weekday, month, hour, minute, second; years lazily
};

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

qsizetype runLength(const QString& form, qsizetype at) {
    qsizetype end = at;
    while (end < form.size() && form[end] == form[at])
        ++end;
    return end - at;
}

// The field a token of a date form (dateForm) or a time form stands for; Literal when it is
// none this class writes.
Field fieldOf(QChar letter, qsizetype length, bool dateForm) {
    if (dateForm) {
        if (letter == u'd')
            return length <= 2 ? Field::Day : length <= 4 ? Field::Weekday : Field::Literal;
        if (letter == u'M')
            return length <= 4 ? Field::Month : Field::Literal;
        if (letter == u'y')
            return length == 2 || length == 4 ? Field::Year : Field::Literal;
        return Field::Literal;
    }
    if (letter == u'h' || letter == u'H')
        return length <= 2 ? Field::Hour : Field::Literal;
    if (letter == u'm')
        return length <= 2 ? Field::Minute : Field::Literal;
    if (letter == u's')
        return length <= 2 ? Field::Second : Field::Literal;
    return Field::Literal;
}

} // namespace

// A date or time form split into pieces.
class DateCellTexts::Form {
public:
    // Null when the form holds something this class does not write.
    static std::unique_ptr<Form> split(const QString& form, bool dateForm, const QLocale& locale);

    void appendDate(std::string& out, const QDate& date) {
        int year = 0;
        int month = 0;
        int day = 0;
        civilDate(date.toJulianDay(), year, month, day);
        for (Piece& piece : m_pieces) {
            switch (piece.field) {
            case Field::Day:
                out.append(piece.texts[std::size_t(day)]);
                break;
            case Field::Weekday:
                out.append(piece.texts[std::size_t(date.dayOfWeek())]);
                break;
            case Field::Month:
                out.append(piece.texts[std::size_t(month)]);
                break;
            case Field::Year:
                out.append(yearText(piece, year));
                break;
            default:
                out.append(piece.literal);
                break;
            }
        }
    }

    void appendTime(std::string& out, int hour, int minute, int second) const {
        for (const Piece& piece : m_pieces) {
            switch (piece.field) {
            case Field::Hour:
            case Field::Meridiem:
                out.append(piece.texts[std::size_t(hour)]);
                break;
            case Field::Minute:
                out.append(piece.texts[std::size_t(minute)]);
                break;
            case Field::Second:
                out.append(piece.texts[std::size_t(second)]);
                break;
            default:
                out.append(piece.literal);
                break;
            }
        }
    }

    // Years 1 to 9999.
    static bool writes(const QDate& date) {
        return date.toJulianDay() >= kFirstJulianDay && date.toJulianDay() <= kLastJulianDay;
    }

private:
    explicit Form(const QLocale& locale) : m_locale(locale) {}

    const std::string& yearText(Piece& piece, int year) {
        std::string& text = piece.texts[std::size_t(year)];
        if (text.empty())
            text = m_locale.toString(QDate(year, 1, 1), piece.token).toStdString();
        return text;
    }

    bool addToken(const QString& form, qsizetype& at, bool dateForm);
    void addLiteral(QStringView text);
    void fillTexts(bool twelveHour);
    bool checkDates(const QString& form);
    bool checkTimes(const QString& form) const;

    QLocale m_locale;
    std::vector<Piece> m_pieces;
};

void DateCellTexts::Form::addLiteral(QStringView text) {
    if (m_pieces.empty() || m_pieces.back().field != Field::Literal)
        m_pieces.emplace_back();
    m_pieces.back().literal += text.toString().toStdString();
}

// Reads the letters at `at` as one field; false when they are none this class writes.
bool DateCellTexts::Form::addToken(const QString& form, qsizetype& at, bool dateForm) {
    const QChar letter = form[at];
    qsizetype length = runLength(form, at);
    Field field = fieldOf(letter, length, dateForm);
    if (!dateForm && (letter == u'a' || letter == u'A')) {
        // AP, ap, A, a and the mixed cases: the AM/PM text.
        const bool pair = at + 1 < form.size() && (form[at + 1] == u'p' || form[at + 1] == u'P');
        length = pair ? 2 : 1;
        field = Field::Meridiem;
    }
    if (field == Field::Literal)
        return false;
    Piece piece;
    piece.field = field;
    piece.token = form.mid(at, length);
    m_pieces.push_back(std::move(piece));
    at += length;
    return true;
}

std::unique_ptr<DateCellTexts::Form> DateCellTexts::Form::split(const QString& form, bool dateForm,
                                                                const QLocale& locale) {
    std::unique_ptr<Form> result(new Form(locale));
    qsizetype at = 0;
    while (at < form.size()) {
        const QChar c = form[at];
        if (c == u'\'') {
            // Quoted text; two quotes stand for one, inside quotes or out.
            QString text;
            qsizetype next = at + 1;
            if (next < form.size() && form[next] == u'\'') {
                text = QStringLiteral("'");
                next += 1;
            } else {
                while (next < form.size()) {
                    if (form[next] == u'\'') {
                        if (next + 1 < form.size() && form[next + 1] == u'\'') {
                            text += u'\'';
                            next += 2;
                            continue;
                        }
                        ++next;
                        break;
                    }
                    text += form[next++];
                }
            }
            result->addLiteral(text);
            at = next;
        } else if (isAsciiLetter(c)) {
            if (!result->addToken(form, at, dateForm))
                return nullptr;
        } else {
            result->addLiteral(QStringView(form).mid(at, 1));
            ++at;
        }
    }
    bool meridiem = false;
    for (const Piece& piece : result->m_pieces)
        meridiem = meridiem || piece.field == Field::Meridiem;
    result->fillTexts(meridiem);
    const bool passed = dateForm ? result->checkDates(form) : result->checkTimes(form);
    return passed ? std::move(result) : nullptr;
}

// Each field's texts from QLocale, the field's letters alone being the form.
void DateCellTexts::Form::fillTexts(bool twelveHour) {
    for (Piece& piece : m_pieces) {
        const auto fill = [&](int first, int last, auto render) {
            piece.texts.assign(std::size_t(last) + 1, std::string());
            for (int n = first; n <= last; ++n)
                piece.texts[std::size_t(n)] = render(n).toStdString();
        };
        const QString& token = piece.token;
        switch (piece.field) {
        case Field::Day:
            fill(1, 31, [&](int d) { return m_locale.toString(QDate(2001, 1, d), token); });
            break;
        case Field::Weekday: // 2001-01-01 was a Monday
            fill(1, 7, [&](int d) { return m_locale.toString(QDate(2001, 1, d), token); });
            break;
        case Field::Month:
            fill(1, 12, [&](int m) { return m_locale.toString(QDate(2001, m, 1), token); });
            break;
        case Field::Year:
            piece.texts.assign(kLastYear + 1, std::string());
            break;
        case Field::Hour: {
            const bool twelve = twelveHour && token[0] == u'h';
            fill(0, 23, [&](int h) {
                return m_locale.toString(QTime(twelve ? (h + 11) % 12 + 1 : h, 0), token);
            });
            break;
        }
        case Field::Meridiem:
            fill(0, 23, [&](int h) { return m_locale.toString(QTime(h, 0), token); });
            break;
        case Field::Minute:
            fill(0, 59, [&](int m) { return m_locale.toString(QTime(0, m), token); });
            break;
        case Field::Second:
            fill(0, 59, [&](int s) { return m_locale.toString(QTime(0, 0, s), token); });
            break;
        case Field::Literal:
            break;
        }
    }
}

bool DateCellTexts::Form::checkDates(const QString& form) {
    std::vector<QDate> samples;
    for (int day = 1; day <= 31; ++day)
        samples.emplace_back(2001, 1, day);
    for (int month = 1; month <= 12; ++month)
        samples.emplace_back(2001, month, 28);
    for (int year : {1, 99, 100, 999, 1899, 1900, 1904, 1999, 2000, 2009, 2010, 2099, 2100, 9999})
        samples.emplace_back(year, 6, 15);
    std::string text;
    for (const QDate& date : samples) {
        text.clear();
        appendDate(text, date);
        if (text != m_locale.toString(date, form).toStdString())
            return false;
    }
    return true;
}

bool DateCellTexts::Form::checkTimes(const QString& form) const {
    std::string text;
    const auto same = [&](int h, int m, int s) {
        text.clear();
        appendTime(text, h, m, s);
        return text == m_locale.toString(QTime(h, m, s), form).toStdString();
    };
    for (int n = 0; n < 60; ++n) {
        if ((n < 24 && !same(n, 7, 9)) || !same(13, n, 9) || !same(0, 0, n))
            return false;
    }
    return true;
}

// Distinct values' texts through QLocale, for forms this class cannot split.
struct DateCellTexts::Fallback {
    std::unordered_map<qint64, std::string> days;
    std::unordered_map<int, std::string> times;
};

DateCellTexts::DateCellTexts(const QLocale& locale)
    : m_locale(locale), m_dateFormText(shortDateFormat(locale)), m_timeFormText(timeFormat(locale)),
      m_dateForm(Form::split(m_dateFormText, true, locale)),
      m_timeForm(Form::split(m_timeFormText, false, locale)),
      m_fallback(std::make_unique<Fallback>()) {}

DateCellTexts::~DateCellTexts() = default;

bool DateCellTexts::datesAreFast() const {
    return m_dateForm != nullptr;
}

bool DateCellTexts::timesAreFast() const {
    return m_timeForm != nullptr;
}

void DateCellTexts::append(std::string& out, const QDate& date, const QTime& time) {
    // Day zero of automation dates holds a time of day alone: only the time is shown.
    if (date == kAutomationDayZero) {
        appendTime(out, time.isValid() ? time : QTime(0, 0));
        return;
    }
    appendDate(out, date);
    if (time.isValid() && time != QTime(0, 0)) {
        out.push_back(' ');
        appendTime(out, time);
    }
}

void DateCellTexts::appendDate(std::string& out, const QDate& date) {
    if (m_dateForm && Form::writes(date)) {
        m_dateForm->appendDate(out, date);
        return;
    }
    std::string& text = m_fallback->days[date.toJulianDay()];
    if (text.empty())
        text = m_locale.toString(date, m_dateFormText).toStdString();
    out.append(text);
}

void DateCellTexts::appendTime(std::string& out, const QTime& time) {
    if (m_timeForm) {
        m_timeForm->appendTime(out, time.hour(), time.minute(), time.second());
        return;
    }
    std::string& text = m_fallback->times[time.msecsSinceStartOfDay()];
    if (text.empty())
        text = m_locale.toString(time, m_timeFormText).toStdString();
    out.append(text);
}

} // namespace kestrel
