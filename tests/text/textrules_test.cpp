#include "text/errors.h"
#include "text/textrules.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

const QLocale kChina(QLocale::Chinese, QLocale::China);
const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);
const QLocale kGermany(QLocale::German, QLocale::Germany);
const QLocale kPosix(QLocale::C);

QString text(const CellValue& value, const QLocale& locale) {
    return cellToText(value, locale);
}

} // namespace

TEST(CellToText, NumbersInGeneralForm) {
    for (const QLocale& locale : {kChina, kUnitedStates}) {
        EXPECT_EQ(text(CellValue::fromNumber(12.5), locale), QStringLiteral("12.5"));
        EXPECT_EQ(text(CellValue::fromNumber(100), locale), QStringLiteral("100"));
        EXPECT_EQ(text(CellValue::fromNumber(-3.25), locale), QStringLiteral("-3.25"));
        EXPECT_EQ(text(CellValue::fromNumber(0), locale), QStringLiteral("0"));
        EXPECT_EQ(text(CellValue::fromNumber(0.1 + 0.2), locale), QStringLiteral("0.3"));
        EXPECT_EQ(text(CellValue::fromNumber(123456789012345.0), locale),
                  QStringLiteral("123456789012345"));
    }
    EXPECT_EQ(text(CellValue::fromNumber(12.5), kGermany), QStringLiteral("12,5"));
}

TEST(CellToText, ScientificFormForLongAndTinyNumbers) {
    // A 16-digit card number held as a number loses its last digit.
    EXPECT_EQ(text(CellValue::fromNumber(1234567890123456.0), kChina),
              QStringLiteral("1.23456789012346E15"));
    EXPECT_EQ(text(CellValue::fromNumber(0.000001), kUnitedStates), QStringLiteral("1E-6"));
    EXPECT_EQ(text(CellValue::fromNumber(-0.0000025), kUnitedStates), QStringLiteral("-2.5E-6"));
    EXPECT_EQ(text(CellValue::fromNumber(0.00001), kUnitedStates), QStringLiteral("0.00001"));
    EXPECT_EQ(text(CellValue::fromNumber(1e20), kGermany), QStringLiteral("1E20"));
    EXPECT_EQ(text(CellValue::fromNumber(1.5e-7), kGermany), QStringLiteral("1,5E-7"));
    // Rounding to 15 digits can carry into a sixteenth integer digit.
    EXPECT_EQ(text(CellValue::fromNumber(999999999999999.9), kChina), QStringLiteral("1E15"));
}

TEST(CellToText, DatesInShortFormWithFourDigitYears) {
    const CellValue midnight = CellValue::fromDateTime(QDate(2027, 3, 5));
    EXPECT_EQ(text(midnight, kChina), QStringLiteral("2027/3/5"));
    EXPECT_EQ(text(midnight, kUnitedStates), QStringLiteral("3/5/2027"));
    EXPECT_EQ(text(midnight, kGermany), QStringLiteral("05.03.2027"));

    const CellValue withTime = CellValue::fromDateTime(QDate(2027, 3, 5), QTime(14, 7, 9));
    EXPECT_EQ(text(withTime, kChina), QStringLiteral("2027/3/5 14:07:09"));
    EXPECT_EQ(text(withTime, kUnitedStates).left(9), QStringLiteral("3/5/2027 "));
    EXPECT_TRUE(text(withTime, kUnitedStates).contains(QStringLiteral("2:07:09")));
}

TEST(CellToText, TimeOfDayAloneShowsOnlyTheTime) {
    const CellValue time = CellValue::fromDateTime(QDate(1899, 12, 30), QTime(12, 32, 12));
    EXPECT_EQ(text(time, kChina), QStringLiteral("12:32:12"));
    EXPECT_EQ(parseDateTime(text(time, kUnitedStates), kUnitedStates),
              QDateTime(QDate(1900, 1, 1), QTime(12, 32, 12), Qt::UTC));
}

TEST(CellToText, OtherKinds) {
    EXPECT_EQ(text(CellValue::blank(), kChina), QString());
    EXPECT_EQ(text(CellValue::fromText(QStringLiteral("  ")), kChina), QStringLiteral("  "));
    EXPECT_EQ(text(CellValue::fromBoolean(true), kChina), QStringLiteral("True"));
    EXPECT_EQ(text(CellValue::fromBoolean(false), kUnitedStates), QStringLiteral("False"));
    try {
        text(CellValue::fromError(0x07), kChina);
        FAIL() << "an error cell must not convert";
    } catch (const ConversionError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("#DIV/0!")));
    }
}

TEST(ParseNumber, LocaleDecimalSeparatorSignAndExponent) {
    EXPECT_EQ(parseNumber(QStringLiteral("12.5"), kChina), 12.5);
    EXPECT_EQ(parseNumber(QStringLiteral(" -3 "), kChina), -3.0);
    EXPECT_EQ(parseNumber(QStringLiteral("+1E3"), kUnitedStates), 1000.0);
    EXPECT_EQ(parseNumber(QStringLiteral(".5"), kUnitedStates), 0.5);
    EXPECT_EQ(parseNumber(QStringLiteral("12,5"), kGermany), 12.5);
    EXPECT_FALSE(parseNumber(QStringLiteral("12.5"), kGermany));
    for (const char* bad : {"12元", "", " ", "1,234", "abc", "1e", "--1", "1.2.3", "0x10"})
        EXPECT_FALSE(parseNumber(QString::fromUtf8(bad), kUnitedStates)) << bad;
}

TEST(ParseNumber, EveryFormattedNumberParsesBack) {
    for (const QLocale& locale : {kChina, kUnitedStates, kGermany}) {
        for (double value : {12.5, 100.0, 1234567890123456.0, 0.000001, -7.125, 3e-12, 1e300}) {
            const auto parsed = parseNumber(formatNumber(value, locale), locale);
            ASSERT_TRUE(parsed) << formatNumber(value, locale).toStdString();
            EXPECT_DOUBLE_EQ(*parsed, std::stod(QString::number(value, 'g', 15).toStdString()));
        }
    }
}

TEST(ParseInteger, WholeNumbersOnly) {
    EXPECT_EQ(parseInteger(QStringLiteral("42"), kChina), 42);
    EXPECT_EQ(parseInteger(QStringLiteral("-7"), kChina), -7);
    EXPECT_FALSE(parseInteger(QStringLiteral("4.5"), kChina));
    EXPECT_FALSE(parseInteger(QStringLiteral("99999999999999999999"), kChina));
}

TEST(ParseDateTime, LocaleShortFormAndIsoDates) {
    const QDateTime fifthOfMarch(QDate(2027, 3, 5), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(parseDateTime(QStringLiteral("2027/3/5"), kChina), fifthOfMarch);
    EXPECT_EQ(parseDateTime(QStringLiteral("3/5/2027"), kUnitedStates), fifthOfMarch);
    EXPECT_EQ(parseDateTime(QStringLiteral("05.03.2027"), kGermany), fifthOfMarch);
    for (const QLocale& locale : {kChina, kUnitedStates, kGermany}) {
        EXPECT_EQ(parseDateTime(QStringLiteral("2027-03-05"), locale), fifthOfMarch);
        EXPECT_EQ(parseDateTime(QStringLiteral("2027-3-5 13:04"), locale),
                  QDateTime(QDate(2027, 3, 5), QTime(13, 4), Qt::UTC));
    }
    // Two-digit years fall in the hundred years around today, never a century back.
    EXPECT_EQ(parseDateTime(QStringLiteral("3/5/27"), kUnitedStates), fifthOfMarch);
}

TEST(ParseDateTime, TimesAndRejections) {
    EXPECT_EQ(parseDateTime(QStringLiteral("13:04:05"), kChina),
              QDateTime(QDate(1900, 1, 1), QTime(13, 4, 5), Qt::UTC));
    EXPECT_EQ(parseDateTime(QStringLiteral("3/5/2027 2:07:09 PM"), kUnitedStates),
              QDateTime(QDate(2027, 3, 5), QTime(14, 7, 9), Qt::UTC));
    EXPECT_EQ(parseDateTime(QStringLiteral("3/5/2027 12:00 AM"), kUnitedStates),
              QDateTime(QDate(2027, 3, 5), QTime(0, 0), Qt::UTC));
    for (const char* bad : {"2027-02-30", "2027/13/1", "abc", "", "2027年3月5日", "25:00",
                            "3/5/2027 x", "5/3", "2027-3-5 13:61"})
        EXPECT_FALSE(parseDateTime(QString::fromUtf8(bad), kChina)) << bad;
    // Day-month order follows the locale: 13/1/2027 is no date in en_US.
    EXPECT_FALSE(parseDateTime(QStringLiteral("13/1/2027"), kUnitedStates));
}

TEST(CellToText, PosixLocaleWritesIsoDates) {
    EXPECT_EQ(text(CellValue::fromDateTime(QDate(2026, 6, 30), QTime(8, 5)), kPosix),
              QStringLiteral("2026-06-30 08:05:00"));
    EXPECT_EQ(text(CellValue::fromNumber(12.5), kPosix), QStringLiteral("12.5"));
}

TEST(ParseDateTime, EveryFormattedDateParsesBack) {
    const QDate days[] = {QDate(2027, 12, 31), QDate(1999, 1, 1), QDate(2024, 2, 29)};
    const QTime times[] = {QTime(0, 0), QTime(23, 59, 59), QTime(12, 0, 1), QTime(0, 30)};
    const QLocale spelledMonths(QLocale::English, QLocale::UnitedKingdom);
    for (const QLocale& locale : {kChina, kUnitedStates, kGermany, kPosix, spelledMonths}) {
        for (const QDate& day : days) {
            for (const QTime& time : times) {
                const QString formatted = formatDateTime(day, time, locale);
                EXPECT_EQ(parseDateTime(formatted, locale), QDateTime(day, time, Qt::UTC))
                    << formatted.toStdString();
            }
        }
    }
}

// Each locale writes the same day its own way, however the calls alternate.
TEST(ParseDateTime, TheSameDayInAlternatingLocalesKeepsEachLocalesForm) {
    const QDate day(2027, 12, 31);
    for (int round = 0; round < 3; ++round) {
        for (const QLocale& locale : {kChina, kUnitedStates, kGermany}) {
            const QString formatted = formatDateTime(day, QTime(0, 0), locale);
            EXPECT_EQ(parseDateTime(formatted, locale), QDateTime(day, QTime(0, 0), Qt::UTC))
                << formatted.toStdString();
        }
    }
}

TEST(CellToText, FifteenDigitTiesRoundAwayFromZero) {
    // Exactly halfway between two 15-digit values: the workstation rounds up, not to even.
    EXPECT_EQ(text(CellValue::fromNumber(33110032036284.25), kChina),
              QStringLiteral("33110032036284.3"));
    EXPECT_EQ(text(CellValue::fromNumber(1000000000000005.0), kChina),
              QStringLiteral("1.00000000000001E15"));
    EXPECT_EQ(text(CellValue::fromNumber(-1000000000000015.0), kChina),
              QStringLiteral("-1.00000000000002E15"));
    EXPECT_EQ(text(CellValue::fromNumber(9999999999999995.0), kChina), QStringLiteral("1E16"));
    // Not a tie: rounded to the nearest.
    EXPECT_EQ(text(CellValue::fromNumber(1000000000000004.0), kChina), QStringLiteral("1E15"));
    EXPECT_EQ(text(CellValue::fromNumber(0.1 + 0.2), kChina), QStringLiteral("0.3"));
}

// The C library's correctly rounded 15 digits; nullopt for a value exactly halfway between two
// 15-digit values (rounded away from zero here, to even there: see the test above).
std::optional<double> fifteenDigitValue(double value) {
    char near[64];
    std::snprintf(near, sizeof near, "%.16e", value);
    const char* digits = near + (value < 0 ? 1 : 0);
    if (digits[16] == '5' && digits[17] == '0') {
        std::vector<char> exact(1100);
        std::snprintf(exact.data(), exact.size(), "%.1000e", value);
        const std::string text(exact.data());
        const std::size_t ePos = text.find('e');
        const std::size_t first = value < 0 ? 1 : 0;
        if (text[first + 16] == '5' && text.find_first_not_of('0', first + 17) >= ePos)
            return std::nullopt;
    }
    char rounded[64];
    std::snprintf(rounded, sizeof rounded, "%.14e", value);
    return std::strtod(rounded, nullptr);
}

TEST(CellToText, NumbersRoundToFifteenDigitsLikeTheCLibrary) {
    std::mt19937_64 random(20261209);
    std::vector<double> values;
    for (int i = 0; i < 20000; ++i) {
        std::uint64_t bits = random();
        double any = 0;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any))
            values.push_back(any);
        const double scale = std::pow(10.0, double(random() % 7));
        values.push_back(double(random() % 1000000000000000ull) / scale);   // amounts as entered
        values.push_back(double(random() % 100000000000000000ull) / scale); // 16 and 17 digits
        values.push_back(double(random() % 1000000) / 100.0 * 1.000001);
        values.push_back(std::ldexp(double(random() % 1000), -1070)); // subnormal
    }
    for (double value : {0.1, 0.3, 999999999999999.9, 9.999999999999999e22, 1e15 - 0.5,
                         123456789012345.67, 0.00001, 0.0000099999999999999995})
        values.push_back(value);
    for (double magnitude : values) {
        for (double value : {magnitude, -magnitude}) {
            const std::optional<double> expected = fifteenDigitValue(value);
            if (!expected || value == 0.0)
                continue;
            const QString text = formatNumber(value, QLocale::c());
            ASSERT_EQ(*expected, text.toDouble())
                << text.toStdString() << " for " << QString::number(value, 'g', 17).toStdString();
            ASSERT_FALSE(text.contains(QLatin1Char('e'))); // only Excel's capital E
            std::string utf8;
            appendNumberText(utf8, value, ",");
            ASSERT_EQ(formatNumber(value, kGermany).toStdString(), utf8);
        }
    }
}

TEST(ParseNumber, ShapesAcceptedAndRefused) {
    for (const char* good : {"5.", ".5", "+1e5", "-2E-3", " 7 ", "\t12.5\n", "0012"})
        EXPECT_TRUE(parseNumber(QString::fromUtf8(good), kChina)) << good;
    for (const char* bad : {".", "e5", "1e", "1e+", "--1", "1.2.3", "1 2", "0x10", "1,5", "", "inf",
                            "nan", "1e400", "１２"})
        EXPECT_FALSE(parseNumber(QString::fromUtf8(bad), kChina)) << bad;
    EXPECT_EQ(parseNumber(QStringLiteral(" -12.5e1 "), kChina), -125.0);
    EXPECT_EQ(parseNumber(QStringLiteral("1,5"), kGermany), 1.5);
    EXPECT_FALSE(parseNumber(QStringLiteral("1.5"), kGermany));
    EXPECT_EQ(parseInteger(QStringLiteral(" +5 "), kChina), 5);
    for (const char* bad : {"+", "-", "5-", "1e3", "１２"})
        EXPECT_FALSE(parseInteger(QString::fromUtf8(bad), kChina)) << bad;
}

// Whatever shape a number text has, the value read is bit for bit the one Qt's own reading
// gives (the reading the program used before), extremes of range and precision included.
TEST(ParseNumber, ReadsEveryValueAsQtDoes) {
    QStringList texts = {QStringLiteral("1e308"),
                         QStringLiteral("1.7976931348623157e308"),
                         QStringLiteral("4.9e-324"),
                         QStringLiteral("2.4e-324"),
                         QStringLiteral("1e-400"),
                         QStringLiteral("0.1"),
                         QStringLiteral("-0"),
                         QStringLiteral("+.5"),
                         QStringLiteral("9007199254740993"),
                         QStringLiteral("0.30000000000000004"),
                         QString(70, QLatin1Char('7')) + QStringLiteral(".5")};
    std::uint64_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return seed >> 33;
    };
    for (int i = 0; i < 20000; ++i) {
        QString number = next() % 2 ? QStringLiteral("-") : QString();
        number += QString::number(next() % 100000000);
        if (next() % 2)
            number += QLatin1Char('.') + QString::number(next() % 1000000).rightJustified(6, u'0');
        if (next() % 4 == 0)
            number += QStringLiteral("e%1").arg(int(next() % 700) - 350);
        texts.append(number);
    }
    for (const QString& number : texts) {
        bool ok = false;
        const double expected = QStringView(number).toDouble(&ok);
        const std::optional<double> parsed = parseNumber(number, kPosix);
        ASSERT_EQ(parsed.has_value(), ok && std::isfinite(expected)) << number.toStdString();
        if (parsed) {
            EXPECT_EQ(std::memcmp(&*parsed, &expected, sizeof expected), 0) << number.toStdString();
        }
    }
}

TEST(ParseInteger, ReadsEveryValueAsQtDoes) {
    for (const char* text :
         {"9223372036854775807", "-9223372036854775808", "9223372036854775808", "+0", "-0",
          "000000000000000000000000000000000000000000000000000000001"}) {
        bool ok = false;
        const qint64 expected = QString::fromLatin1(text).toLongLong(&ok);
        const std::optional<qint64> parsed = parseInteger(QString::fromLatin1(text), kPosix);
        ASSERT_EQ(parsed.has_value(), ok) << text;
        if (parsed) {
            EXPECT_EQ(*parsed, expected) << text;
        }
    }
}

TEST(ParseDateTime, TimeFieldsAreReadGreedily) {
    const QDate day(2027, 3, 5);
    EXPECT_EQ(parseDateTime(QStringLiteral("2027-3-5 3:04:05.6"), kChina),
              QDateTime(day, QTime(3, 4, 5, 600), Qt::UTC));
    EXPECT_EQ(parseDateTime(QStringLiteral("2027-3-5 3:04:05.678"), kChina),
              QDateTime(day, QTime(3, 4, 5, 678), Qt::UTC));
    EXPECT_EQ(parseDateTime(QStringLiteral("3/5/2027 2:07PM"), kUnitedStates),
              QDateTime(day, QTime(14, 7), Qt::UTC));
    for (const char* bad :
         {"12:345", "1:2:3.4567", "1:2:3 A M", "1:", ":5", "123:4", "2027-3-5 1:2:3:4", "2027-3/5",
          "20270-3-5", "2027-3-123", "2027-3-5-1", "13:00 PM"})
        EXPECT_FALSE(parseDateTime(QString::fromUtf8(bad), kUnitedStates)) << bad;
}
