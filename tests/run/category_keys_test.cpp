#include "run/category_keys.h"
#include "text/errors.h"

#include <QSet>
#include <gtest/gtest.h>

namespace kestrel {
namespace {

const QDateTime kNoon(QDate(2024, 2, 28), QTime(13, 4, 5, 123));

CategoryKeyForm drForm() {
    return {CategoryKeyForm::Prefix::Literal, QStringLiteral("DR"), 9, false};
}

CategoryKeyGenerator::IsTaken takenFrom(QSet<QString> keys) {
    return [keys](const QString& key) { return keys.contains(key.toUpper()); };
}

TEST(CategoryKeys, TimeDigitsAreHourMinuteSecondMillisecond) {
    EXPECT_EQ(timeDigits(QTime(13, 4, 5, 123)), QStringLiteral("130405123"));
    EXPECT_EQ(timeDigits(QTime(0, 0, 0, 7)), QStringLiteral("000000007"));
}

TEST(CategoryKeys, FormsOfEveryInstanceKeepPrefixAndLength) {
    CategoryKeyGenerator keys([] { return kNoon; });
    const auto none = takenFrom({});
    EXPECT_EQ(keys.generate(drForm(), QStringLiteral("0101"), 1, none),
              QStringLiteral("DR130405123"));
    const CategoryKeyForm cardType{CategoryKeyForm::Prefix::BranchNumber, {}, 9, true};
    EXPECT_EQ(keys.generate(cardType, QStringLiteral("0101"), 2, none),
              QStringLiteral("01011304051232"));
    const CategoryKeyForm goodsType{CategoryKeyForm::Prefix::Literal, QStringLiteral("0000"), 4,
                                    false};
    EXPECT_EQ(keys.generate(goodsType, {}, 1, none), QStringLiteral("00005123"));
    const CategoryKeyForm department{CategoryKeyForm::Prefix::Literal, {}, 3, false};
    EXPECT_EQ(keys.generate(department, {}, 1, none), QStringLiteral("123"));
}

TEST(CategoryKeys, TwoKeysInTheSameMillisecondDiffer) {
    CategoryKeyGenerator keys([] { return kNoon; });
    const QString first = keys.generate(drForm(), {}, 1, takenFrom({}));
    const QString second = keys.generate(drForm(), {}, 2, takenFrom({}));
    EXPECT_EQ(first, QStringLiteral("DR130405123"));
    EXPECT_EQ(second, QStringLiteral("DR130405124"));
}

TEST(CategoryKeys, KeysTakenInTheTableOrGivenInAnyLetterCaseAreSkipped) {
    CategoryKeyGenerator keys([] { return kNoon; });
    keys.noteGiven(QStringLiteral("dr130405124")); // given earlier by the imported rows
    const QString key = keys.generate(drForm(), {}, 1, takenFrom({QStringLiteral("DR130405123")}));
    EXPECT_EQ(key, QStringLiteral("DR130405125"));
}

TEST(CategoryKeys, CountingUpWrapsRound) {
    CategoryKeyGenerator keys([] { return QDateTime(QDate(2024, 1, 1), QTime(23, 59, 59, 999)); });
    const CategoryKeyForm department{CategoryKeyForm::Prefix::Literal, {}, 3, false};
    EXPECT_EQ(keys.generate(department, {}, 1, takenFrom({QStringLiteral("999")})),
              QStringLiteral("000"));
}

TEST(CategoryKeys, NoFreeKeyOfTheFormIsAClearError) {
    CategoryKeyGenerator keys([] { return kNoon; });
    const CategoryKeyForm department{CategoryKeyForm::Prefix::Literal, {}, 3, false};
    try {
        keys.generate(department, {}, 1, [](const QString&) { return true; });
        FAIL() << "expected an error";
    } catch (const Error& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("###"))) << error.what();
    }
}

} // namespace
} // namespace kestrel
