// What only the count cards do: the usage log of treatment cards, CalTimes, the two groups.
#include "card_import_fixture.h"

namespace kestrel::test {
namespace {

class TreatmentCardTest : public CardImportFixture,
                          public ::testing::WithParamInterface<CardSchema> {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        setUpCards(treatmentLayout(), GetParam());
    }
    QString usage(const QString& chip, const QString& expression) {
        return scalar(QStringLiteral("SELECT %1 FROM HY_JiCiCardLog WHERE CardCode='%2'")
                          .arg(expression, chip))
            .toString();
    }
};

TEST_P(TreatmentCardTest, ACountOfTenReachesCalTimesAndTheUsageLog) {
    addRow(QStringLiteral("T10"), {{6, QStringLiteral("10")}});
    addRow(QStringLiteral("T0"), {{6, QString()}});
    ASSERT_EQ(runCards(), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();

    const QString ten = QStringLiteral("T10");
    EXPECT_EQ(card(ten, QStringLiteral("CanXFTimes")).toDouble(), 10.0);
    if (GetParam() == CardSchema::Branch) {
        EXPECT_EQ(card(ten, QStringLiteral("CanXFTimes")), QStringLiteral("10"));
    }
    EXPECT_EQ(card(ten, QStringLiteral("CalTimes")).toDouble(), 10.0);
    EXPECT_EQ(card(ten, QStringLiteral("TimesLimit + TimesLimitMode + XFTimes")).toDouble(), 0.0);
    EXPECT_EQ(logRow(ten, QStringLiteral("CardValue + NowCardValue")).toDouble(), 20.0);
    EXPECT_EQ(count(QStringLiteral("HY_JiCiCardLog")), 2);
    EXPECT_EQ(usage(ten, QStringLiteral("Times")).toDouble(), 10.0);
    EXPECT_EQ(usage(ten, QStringLiteral("HotelTreeID || HotelID || MokuanID || OpTypeFlag || "
                                        "CardGroupID || ItemID || ItemName || BanCiName || "
                                        "Operator || Memo || substr(CreateDateTime, 1, 10)")),
              QStringLiteral("T010101SNCZJiCiCard导入青雁人导入1999-01-01"));

    const QString zero = QStringLiteral("T0");
    EXPECT_EQ(card(zero, QStringLiteral("CanXFTimes")).toDouble(), 0.0);
    EXPECT_EQ(card(zero, QStringLiteral("CalTimes")).toDouble(), 0.0);
    EXPECT_EQ(logRow(zero, QStringLiteral("CardValue + NowCardValue")).toDouble(), 0.0);
    EXPECT_EQ(usage(zero, QStringLiteral("Times")).toDouble(), 0.0);
    EXPECT_FALSE(usage(zero, QStringLiteral("Times")).isEmpty());
}

TEST_P(TreatmentCardTest, CalTimesIsRaisedForTreatmentCardsOnly) {
    insertCard(QStringLiteral("JiCiCard"), QStringLiteral("OLDJ"), QStringLiteral("旧卡"),
               QStringLiteral("K"));
    insertCard(QStringLiteral("ShiDuanCard"), QStringLiteral("OLDS"), QStringLiteral("旧卡"),
               QStringLiteral("K"));
    exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName) VALUES ('K', '旧卡')"));
    ASSERT_EQ(runCards(), RunOutcome::Completed);
    EXPECT_EQ(column(QStringLiteral("SELECT CalTimes FROM HY_JiCiCardDetail ORDER BY CardCode"))
                  .join(QLatin1Char('/')),
              QStringLiteral("7/0"));
}

INSTANTIATE_TEST_SUITE_P(Schemas, TreatmentCardTest,
                         ::testing::Values(CardSchema::Branch, CardSchema::Retyped));

class TimePeriodCardTest : public CardImportFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        setUpCards(timePeriodLayout(), CardSchema::Branch);
    }
};

TEST_F(TimePeriodCardTest, WritesNoUsageLogAndLeavesCalTimesAlone) {
    addRow(QStringLiteral("S30"), {{6, QStringLiteral("30")}});
    ASSERT_EQ(runCards(), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(card(QStringLiteral("S30"), QStringLiteral("CanXFTimes || '/' || CalTimes")),
              QStringLiteral("30/0"));
    EXPECT_EQ(count(QStringLiteral("HY_JiCiCardLog")), 0);
}

} // namespace
} // namespace kestrel::test
