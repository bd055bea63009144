// Date cells' texts written from the locale's forms split into fields must be exactly what the
// cell-to-text rule gives, in every locale, for every day, time of day and year.
#include "text/date_texts.h"
#include "text/textrules.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using kestrel::CellValue;
using kestrel::DateCellTexts;

namespace {

const char* const kLocales[] = {"C",     "zh_CN", "zh_TW", "de_DE", "en_US", "en_GB", "fr_FR",
                                "ja_JP", "ko_KR", "ar_EG", "fa_IR", "hi_IN", "th_TH", "ru_RU",
                                "he_IL", "bn_BD", "my_MM", "es_ES", "sv_SE", "bg_BG"};

std::string expectedText(const QDate& date, const QTime& time, const QLocale& locale) {
    return kestrel::cellToText(CellValue::fromDateTime(date, time), locale).toStdString();
}

void expectSame(DateCellTexts& texts, const QDate& date, const QTime& time, const QLocale& locale) {
    std::string text;
    texts.append(text, date, time);
    ASSERT_EQ(expectedText(date, time, locale), text)
        << locale.name().toStdString() << " " << date.toString(Qt::ISODate).toStdString() << " "
        << time.toString(Qt::ISODateWithMs).toStdString();
}

TEST(DateCellTexts, MatchTheCellToTextRuleInEveryLocale) {
    QRandomGenerator random(20261209);
    for (const char* name : kLocales) {
        const QLocale locale(QString::fromLatin1(name));
        DateCellTexts texts(locale);
        // Every day of three years around a leap day, at midnight and with a time.
        for (QDate day(1999, 12, 1); day < QDate(2001, 3, 1); day = day.addDays(1)) {
            expectSame(texts, day, QTime(0, 0), locale);
            expectSame(texts, day, QTime(23, 59, 59), locale);
        }
        // Every second of a day, some on day zero, which shows the time alone.
        for (int second = 0; second < 86400; second += 7) {
            const QTime time = QTime(0, 0).addSecs(second);
            expectSame(texts, QDate(2024, 2, 29), time, locale);
            if (second % 49 == 0)
                expectSame(texts, QDate(1899, 12, 30), time, locale);
        }
        // Days across the whole range a workbook's dates take.
        for (int i = 0; i < 3000; ++i) {
            const QDate day = QDate(1899, 12, 30).addDays(random.bounded(2958465));
            expectSame(texts, day, QTime(0, 0).addSecs(random.bounded(86400)), locale);
        }
        expectSame(texts, QDate(1899, 12, 30), QTime(0, 0), locale);
        expectSame(texts, QDate(1899, 12, 30), QTime(), locale);
        expectSame(texts, QDate(1900, 1, 1), QTime(0, 0, 0, 500), locale);
        expectSame(texts, QDate(9999, 12, 31), QTime(12, 0), locale);
        expectSame(texts, QDate(-44, 3, 15), QTime(12, 0), locale); // written through QLocale
    }
}

// The forms of the locales templates are filled in must take the fast way; the others may
// fall back, which the test above covers too.
TEST(DateCellTexts, CommonLocalesSplitTheirForms) {
    for (const char* name : {"C", "zh_CN", "de_DE", "en_US", "en_GB", "fr_FR", "ja_JP"}) {
        const DateCellTexts texts{QLocale(QString::fromLatin1(name))};
        EXPECT_TRUE(texts.datesAreFast()) << name;
        EXPECT_TRUE(texts.timesAreFast()) << name;
    }
}

} // namespace
