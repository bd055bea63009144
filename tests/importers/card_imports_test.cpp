// The points, treatment and time-period card imports through the frame, on two card schemas.
#include "card_import_fixture.h"

#include <tuple>

namespace kestrel::test {
namespace {

using Param = std::tuple<CardLayout (*)(), CardSchema>;

class CardImportTest : public CardImportFixture, public ::testing::WithParamInterface<Param> {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        setUpCards(std::get<0>(GetParam())(), std::get<1>(GetParam()));
    }
    bool isCountCard() const { return !layout.group.isEmpty(); }
    QString today(int days = 0) const {
        return now.date().addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
    }
};

struct BadRow {
    QMap<int, QString> changes;
    QString tail;
};

TEST_P(CardImportTest, TheFirstFailingCheckStopsTheImportBeforeAnythingIsWritten) {
    QList<BadRow> cases = {
        {{{1, QString()}}, QStringLiteral("行的卡类型名不能为空!")},
        {{{2, QString()}}, QStringLiteral("行的卡芯编号不能为空!")},
        {{{layout.pointsColumn, QStringLiteral("abc")}}, QStringLiteral("行的卡中积分请重输!")},
        {{{layout.validColumn, QStringLiteral("明年")}}, QStringLiteral("行的有效日期请重输!")},
        {{{layout.issueColumn, QStringLiteral("2024-02-30")}},
         QStringLiteral("行的发卡日期请重输!")},
        {{{layout.clientColumn, QString()}}, QStringLiteral("行的客人姓名不能为空!")},
        {{{layout.sendMessageColumn, QStringLiteral("x")}},
         QStringLiteral("行的允许发短信请重输!")},
        {{{layout.sendMessageColumn, QStringLiteral("Y")}},
         QStringLiteral("行的允许发短信请重输!")},
        {{{layout.birthdayColumn, QStringLiteral("x")}}, QStringLiteral("行的客生日请重输!")},
        // Two faults in one row: the earlier column is named.
        {{{layout.pointsColumn, QStringLiteral("abc")}, {layout.clientColumn, QString()}},
         QStringLiteral("行的卡中积分请重输!")},
    };
    if (isCountCard()) {
        cases.append({{{3, QString()}}, QStringLiteral("行的卡面编号不能为空!")});
        cases.append({{{layout.countColumn, QStringLiteral("10次")}},
                      QStringLiteral("行的卡中次数请重输!")});
    }
    for (const BadRow& bad : cases) {
        observer = RecordingObserver();
        restartTemplate();
        addRow(QStringLiteral("A1"));
        addRow(QStringLiteral("A2"), bad.changes);
        addRow(QStringLiteral("A3"));
        EXPECT_EQ(runCards(), RunOutcome::RowCheckFailed) << bad.tail.toStdString();
        EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第3") + bad.tail});
    }
    EXPECT_EQ(cards(), 0);
    EXPECT_EQ(logRows(), 0);
    EXPECT_EQ(count(QStringLiteral("HY_JiCiCardLog")), 0);
    EXPECT_EQ(count(QStringLiteral("HY_CardType")), 0);
}

TEST_P(CardImportTest, EmptyCellsGetTheirDefaultsAndFlagsAreReplacedSilently) {
    QMap<int, QString> empties = {{4, QStringLiteral("x")},
                                  {layout.pointsColumn, QString()},
                                  {layout.validColumn, QString()},
                                  {layout.issueColumn, QString()},
                                  {layout.clientColumn + 1, QStringLiteral("M")}, // sex
                                  {layout.sendMessageColumn, QString()},
                                  {layout.birthdayColumn, QString()}};
    if (isCountCard())
        empties.insert(layout.countColumn, QString());
    else
        empties.insert(3, QString()); // the face number of a points card may be empty
    addRow(QStringLiteral("D1"), empties);
    addRow(QStringLiteral("G1"), {{4, QStringLiteral("g")}});
    ASSERT_EQ(runCards(), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(observer.messages, QStringList{layout.completion});

    const QString d1 = QStringLiteral("D1");
    if (!isCountCard()) {
        EXPECT_EQ(card(d1, QStringLiteral("CardName")), d1);
        EXPECT_EQ(logRow(d1, QStringLiteral("CardFaceID")), d1);
    }
    EXPECT_EQ(card(d1, QStringLiteral("isBlankOut || Sex || isSendMsg")), QStringLiteral("n男y"));
    EXPECT_EQ(card(QStringLiteral("G1"), QStringLiteral("isBlankOut || Sex")),
              QStringLiteral("g女"));
    EXPECT_EQ(card(d1, QStringLiteral("JiFen")).toDouble(), 0.0);
    EXPECT_FALSE(card(d1, QStringLiteral("JiFen")).isEmpty());
    EXPECT_EQ(card(d1, QStringLiteral("substr(EndDate, 1, 10)")), today(layout.validDays));
    EXPECT_EQ(card(d1, QStringLiteral("substr(CreateDate, 1, 10) || substr(StartDate, 1, 10) || "
                                      "substr(CardEndDate, 1, 10)")),
              today() + today() + today());
    EXPECT_EQ(card(d1, QStringLiteral("substr(Birthday, 1, 10)")), QStringLiteral("1990-01-01"));
    EXPECT_EQ(logRow(d1, QStringLiteral("JiFenValue + NowJiFenValue + CardValue + NowCardValue"))
                  .toDouble(),
              0.0);
    if (isCountCard()) {
        EXPECT_EQ(card(d1, QStringLiteral("CanXFTimes")).toDouble(), 0.0);
    }
}

TEST_P(CardImportTest, ComputedFieldsOfTheCardAndItsLogRow) {
    addRow(QStringLiteral("A1"));
    ASSERT_EQ(runCards(), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(observer.captions.first(), QStringLiteral("当前第1记录,卡芯号：A1"));

    const QString a1 = QStringLiteral("A1");
    const QString typeKey = card(a1, QStringLiteral("CardTypeID"));
    EXPECT_FALSE(typeKey.isEmpty());
    EXPECT_EQ(count(QStringLiteral("HY_CardType"), QStringLiteral("CardTypeID='%1' AND "
                                                                  "CardTypeName='%2'")
                                                       .arg(typeKey, layout.goodRow.first())),
              1);
    EXPECT_EQ(card(a1, QStringLiteral("CardName || CardPassword || RepeatPassword || "
                                      "AdviserCode || AdviserName || ClientName")),
              QStringLiteral("F-A1pw1pw1李顾问李顾问王五"));
    EXPECT_EQ(card(a1, QStringLiteral("HotelTreeID || HotelID || HotelName || Memo || Operator || "
                                      "PaperTypeID || PaperTypeName")),
              QStringLiteral("T010101青雁一店导入青雁人身份证护照"));
    EXPECT_EQ(card(a1, QStringLiteral("isAttach")),
              isCountCard() ? QStringLiteral("n") : QStringLiteral("y"));
    EXPECT_EQ(card(a1, QStringLiteral("substr(CardEndDate, 1, 10) || substr(StartDate, 1, 10)")),
              QStringLiteral("2024-01-152024-01-15"));
    EXPECT_EQ(cards(QStringLiteral("instr(Memo || Address || ZhiYe || GdCardNo, '不存') > 0")), 0);

    EXPECT_EQ(logRows(), 1);
    const QString cardTypeId = isCountCard() ? layout.group : QStringLiteral("JiFenCard");
    const QString opType = isCountCard() ? QStringLiteral("CZ") : QStringLiteral("JF");
    EXPECT_EQ(
        logRow(a1, QStringLiteral("CardTypeID || '/' || OpTypeFlag || '/' || CardGroupID || "
                                  "'/' || CardGroupName || '/' || CardFaceID || '/' || "
                                  "ClientName || '/' || Memo")),
        QStringList({cardTypeId, opType, typeKey, layout.goodRow.first(), QStringLiteral("F-A1"),
                     QStringLiteral("王五"), QStringLiteral("工具导入")})
            .join(QLatin1Char('/')));
    const double points = layout.goodRow.at(layout.pointsColumn - 1).toDouble();
    const double value = isCountCard() ? layout.goodRow.at(layout.countColumn - 1).toDouble() : 0;
    EXPECT_EQ(logRow(a1, QStringLiteral("JiFenValue")).toDouble(), points);
    EXPECT_EQ(logRow(a1, QStringLiteral("NowJiFenValue")).toDouble(), points);
    EXPECT_EQ(logRow(a1, QStringLiteral("CardValue")).toDouble(), value);
    EXPECT_EQ(logRow(a1, QStringLiteral("NowCardValue")).toDouble(), value);
    EXPECT_EQ(logRow(a1, QStringLiteral("HotelTreeID || FkHotelID || substr(CreateDate, 1, 10)")),
              QStringLiteral("T0101011999-01-01"));
}

TEST_P(CardImportTest, KnownChipNumbersAreSkippedInAnyLetterCaseWithinTheCardGroup) {
    insertCard(layout.group, QStringLiteral("ab01"), QStringLiteral("旧卡"), QStringLiteral("OLD"));
    exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName) VALUES ('OLD', "
                        "'旧卡')"));
    addRow(QStringLiteral("AB01"));
    addRow(QStringLiteral("C2"));
    addRow(QStringLiteral("c2"));
    if (isCountCard()) {
        insertCard(layout.otherGroup, QStringLiteral("x9"), QStringLiteral("旧卡"),
                   QStringLiteral("OLD"));
        addRow(QStringLiteral("X9"));
    }
    ASSERT_EQ(runCards(), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(observer.messages, QStringList{layout.completion});

    QString inGroup =
        isCountCard() ? QStringLiteral(" WHERE CardGroupID='%1'").arg(layout.group) : QString();
    QStringList expected{QStringLiteral("ab01"), QStringLiteral("C2")};
    if (isCountCard())
        expected.append(QStringLiteral("X9"));
    EXPECT_EQ(
        column(
            QStringLiteral("SELECT CardCode FROM %1%2 ORDER BY rowid").arg(layout.table, inGroup)),
        expected);
    expected.removeFirst();
    EXPECT_EQ(column(QStringLiteral("SELECT CardCode FROM HY_CardValueOpLog ORDER BY rowid")),
              expected);
    if (layout.kind == ImportKind::Treatment) {
        EXPECT_EQ(column(QStringLiteral("SELECT CardCode FROM HY_JiCiCardLog ORDER BY rowid")),
                  expected);
    }
}

TEST_P(CardImportTest, AHeaderOnlyTemplateStillTidiesTheWholeCardTable) {
    insertCard(layout.group, QStringLiteral("OLD1"), QStringLiteral("旧卡"), QStringLiteral("K"));
    if (isCountCard())
        insertCard(layout.otherGroup, QStringLiteral("OLD2"), QStringLiteral("旧卡"),
                   QStringLiteral("K"));
    exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName) VALUES ('K', '旧卡')"));
    ASSERT_EQ(runCards(), RunOutcome::Completed);
    EXPECT_EQ(observer.messages, QStringList{layout.completion});
    EXPECT_GT(cards(), 0);
    EXPECT_EQ(cards(QStringLiteral("CardPassword='' AND RepeatPassword='' AND Phone='' AND "
                                   "PaperTypeName=''")),
              cards());
}

TEST_P(CardImportTest, CardTypesComeFromAllCardTablesButKeysGoOnlyToTheRunningOne) {
    exec(QStringLiteral("INSERT INTO HY_Member (MemberID, CardTypeID, CardTypeName) VALUES "
                        "('M1', '', '会员旧卡')"));
    insertCard(QString(), QStringLiteral("P1"), QStringLiteral("积分旧卡"));
    insertCard(QStringLiteral("JiCiCard"), QStringLiteral("J1"), QStringLiteral("次卡旧卡"));
    insertCard(QStringLiteral("ShiDuanCard"), QStringLiteral("S1"), QStringLiteral("时段旧卡"));
    exec(QStringLiteral("INSERT INTO HY_CardValueOpLog (CardCode, CardGroupID, CardGroupName) "
                        "VALUES ('M1', '', '会员旧卡'), ('P1', '', '积分旧卡'), "
                        "('J1', '', '次卡旧卡')"));
    addRow(QStringLiteral("N1"));
    ASSERT_EQ(runCards(), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();

    QStringList types = column(QStringLiteral("SELECT CardTypeName FROM HY_CardType"));
    types.sort();
    QStringList expected{QStringLiteral("会员旧卡"), QStringLiteral("积分旧卡"),
                         QStringLiteral("次卡旧卡"), QStringLiteral("时段旧卡"),
                         layout.goodRow.first()};
    expected.sort();
    EXPECT_EQ(types, expected);
    EXPECT_EQ(count(QStringLiteral("HY_CardType"), QStringLiteral("CardTypeID = ''")), 0);
    // Every value-log row gets its key; of the card tables, only the running import's.
    EXPECT_EQ(count(QStringLiteral("HY_CardValueOpLog"), QStringLiteral("CardGroupID = ''")), 0);
    EXPECT_EQ(count(QStringLiteral("HY_Member"), QStringLiteral("CardTypeID = ''")), 1);
    const int pointsWithoutKey =
        count(QStringLiteral("HY_JFAgioCardDetail"), QStringLiteral("CardTypeID = ''"));
    const int countCardsWithoutKey =
        count(QStringLiteral("HY_JiCiCardDetail"), QStringLiteral("CardTypeID = ''"));
    EXPECT_EQ(pointsWithoutKey, isCountCard() ? 1 : 0);
    EXPECT_EQ(countCardsWithoutKey, isCountCard() ? 0 : 2); // both groups of the count-card table
}

INSTANTIATE_TEST_SUITE_P(
    Cards, CardImportTest,
    ::testing::Combine(::testing::Values(&pointsLayout, &treatmentLayout, &timePeriodLayout),
                       ::testing::Values(CardSchema::Branch, CardSchema::Retyped)),
    [](const ::testing::TestParamInfo<Param>& param) {
        const CardLayout layout = std::get<0>(param.param)();
        const QString schema = std::get<1>(param.param) == CardSchema::Branch
                                   ? QStringLiteral("Branch")
                                   : QStringLiteral("Retyped");
        QString name = importEntry(layout.kind).commandName;
        return name.remove(QLatin1Char('-')).toStdString() + schema.toStdString();
    });

} // namespace
} // namespace kestrel::test
