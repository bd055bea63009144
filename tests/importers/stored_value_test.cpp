#include "run_fixture.h"

#include <QProcess>
#include <QRegularExpression>

namespace kestrel::test {
namespace {

const QString kTemplate = QStringLiteral("青雁充值卡模板.xls");
const QString kDone = QStringLiteral("充值卡执行完毕!");

// Runs on both schema flavours: the importer must not depend on our column types.
class StoredValueTest : public RunFixture, public ::testing::WithParamInterface<SchemaFlavour> {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        createSchema(storedValueSchema(GetParam()));
        book = &addTemplate(kTemplate);
        book->appendTextRow(1, storedValueHeader());
    }

    // A good row with some columns replaced (column numbers from 1).
    void addRow(const QString& chip, const QMap<int, QString>& changes = {}) {
        QStringList row = storedValueRow(chip);
        for (auto it = changes.begin(); it != changes.end(); ++it)
            row[it.key() - 1] = it.value();
        book->appendTextRow(1, row);
    }

    QString member(const QString& chip, const QString& expression) {
        return scalar(QStringLiteral("SELECT %1 FROM HY_Member WHERE MemberID='%2'")
                          .arg(expression, chip))
            .toString();
    }
    QString logRow(const QString& chip, const QString& expression) {
        return scalar(QStringLiteral("SELECT %1 FROM HY_CardValueOpLog WHERE CardCode='%2'")
                          .arg(expression, chip))
            .toString();
    }
    double memberNumber(const QString& chip, const QString& column) {
        return member(chip, column).toDouble();
    }

    MemoryWorkbook* book = nullptr;
};

TEST_P(StoredValueTest, WritesTheMemberAndItsLogRow) {
    addRow(QStringLiteral("A1"));
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(observer.messages, QStringList{kDone});

    const QString a1 = QStringLiteral("A1");
    EXPECT_EQ(member(a1, QStringLiteral("CardName")), QStringLiteral("F-A1"));
    EXPECT_EQ(member(a1, QStringLiteral("MemberPassword || '/' || RepeatPassword")),
              QStringLiteral("pw1/pw1"));
    EXPECT_EQ(memberNumber(a1, QStringLiteral("SumMoney")), 300.0);
    EXPECT_EQ(memberNumber(a1, QStringLiteral("JiFen")), 15.0);
    EXPECT_EQ(member(a1, QStringLiteral("substr(EndDate, 1, 10)")), QStringLiteral("2026-12-31"));
    EXPECT_EQ(member(a1, QStringLiteral("substr(CreateDate, 1, 10) || substr(StartDate, 1, 10) "
                                        "|| substr(CardEndDate, 1, 10)")),
              QStringLiteral("2024-01-152024-01-152024-01-15"));
    EXPECT_EQ(member(a1, QStringLiteral("AdviserCode || '/' || AdviserName")),
              QStringLiteral("李顾问/李顾问"));
    EXPECT_EQ(member(a1, QStringLiteral("MemberName || Sex || Phone || isSendMsg || PostCode || "
                                        "Address || PaperTypeName || PaperTypeID")),
              QStringLiteral("王五女13800000000n510000广州天河护照身份证"));
    EXPECT_EQ(member(a1, QStringLiteral("isQianZhangXiaoFei || isCalJiFenAndAgio || isAttach || "
                                        "MokuanID || Operator || Memo || isZdFk || isGiveCard || "
                                        "isSend || isTransfer || isBackup")),
              QStringLiteral("否yySN青雁人导入nnynn"));
    EXPECT_EQ(member(a1, QStringLiteral("substr(MarriedDate, 1, 10)")),
              QStringLiteral("1980-01-01"));
    EXPECT_EQ(memberNumber(a1, QStringLiteral("LimitMoney")), 0.0);
    EXPECT_EQ(memberNumber(a1, QStringLiteral("QtdXfMoney")), 300.0); // raised by the clean-up
    if (GetParam() != SchemaFlavour::Branch) { // a column the import leaves to its default
        EXPECT_EQ(member(a1, QStringLiteral("Grade")), QStringLiteral("A"));
    }
    EXPECT_EQ(count(QStringLiteral("HY_Member"), QStringLiteral("XingZuo <> '' OR GdCardNo <> ''")),
              0);
    // Column 10 is read but stored nowhere.
    EXPECT_EQ(count(QStringLiteral("HY_Member"), QStringLiteral("instr(HY_Member.Memo || "
                                                                "Address || ZhiYe, '不存') > 0")),
              0);

    EXPECT_EQ(logRow(a1, QStringLiteral("CardFaceID || CardTypeID || CardGroupName || ClientName "
                                        "|| OpTypeFlag || CheckTypeName || Operator || Memo")),
              QStringLiteral("F-A1IdCard金卡王五CZ导入青雁人工具导入"));
    EXPECT_EQ(count(QStringLiteral("HY_CardValueOpLog"),
                    QStringLiteral("CardValue = 300 AND NowCardValue = 300 AND JiFenValue = 15 "
                                   "AND NowJiFenValue = 15 AND OldCardValue = 0")),
              1);
    EXPECT_EQ(logRow(a1, QStringLiteral("HotelTreeID || HotelID || HotelName || FkHotelID")),
              QStringLiteral("T010101青雁一店0101"));
    EXPECT_EQ(logRow(a1, QStringLiteral("substr(CreateDate, 1, 10) || CreateTime")),
              QStringLiteral("1999-01-0100:00"));
}

TEST_P(StoredValueTest, EveryDefaultOfTheCheckingPass) {
    addRow(QStringLiteral("D1"), {{3, QString()},
                                  {4, QStringLiteral("x")},
                                  {6, QString()},
                                  {7, QString()},
                                  {8, QString()},
                                  {9, QString()},
                                  {13, QStringLiteral("M")},
                                  {15, QStringLiteral("Y")},
                                  {16, QString()}});
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(observer.messages, QStringList{kDone});

    const QString d1 = QStringLiteral("D1");
    EXPECT_EQ(member(d1, QStringLiteral("CardName")), d1);
    EXPECT_EQ(logRow(d1, QStringLiteral("CardFaceID")), d1);
    EXPECT_EQ(member(d1, QStringLiteral("isBlankOut || Sex || isSendMsg")), QStringLiteral("n男y"));
    EXPECT_EQ(memberNumber(d1, QStringLiteral("SumMoney")), 0.0);
    EXPECT_EQ(memberNumber(d1, QStringLiteral("JiFen")), 0.0);
    EXPECT_EQ(logRow(d1, QStringLiteral("CardValue + NowCardValue + JiFenValue + NowJiFenValue"))
                  .toDouble(),
              0.0);
    EXPECT_FALSE(logRow(d1, QStringLiteral("CardValue")).isEmpty());
    // 365 days after 2024-02-28 (2025 has no 29 February): not the same day a year later.
    EXPECT_EQ(member(d1, QStringLiteral("substr(EndDate, 1, 10)")), QStringLiteral("2025-02-27"));
    EXPECT_EQ(member(d1, QStringLiteral("substr(CreateDate, 1, 10) || substr(StartDate, 1, 10) "
                                        "|| substr(CardEndDate, 1, 10)")),
              QStringLiteral("2024-02-282024-02-282024-02-28"));
    EXPECT_EQ(member(d1, QStringLiteral("substr(Birthday, 1, 10)")), QStringLiteral("1990-01-01"));
}

TEST_P(StoredValueTest, FlagsInTheirAllowedFormsAreKept) {
    addRow(QStringLiteral("G1"), {{4, QStringLiteral("g")}, {13, QStringLiteral("女")}});
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(member(QStringLiteral("G1"), QStringLiteral("isBlankOut || Sex")),
              QStringLiteral("g女"));
}

TEST_P(StoredValueTest, MoneyWithAUnitStopsBeforeAnythingIsWritten) {
    addRow(QStringLiteral("A1"));
    addRow(QStringLiteral("A2"), {{6, QStringLiteral("12元")}});
    addRow(QStringLiteral("A3"));
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第3行的卡中金额请重输!")});
    EXPECT_EQ(count(QStringLiteral("HY_Member")), 0);
}

TEST_P(StoredValueTest, EachCheckHasItsMessage) {
    struct Case {
        int column;
        QString text;
        QString tail;
    };
    const QList<Case> cases = {
        {1, QString(), QStringLiteral("行的卡类型名不能为空!")},
        {2, QString(), QStringLiteral("行的卡芯编号不能为空!")},
        {7, QStringLiteral("abc"), QStringLiteral("行的卡中积分请重输!")},
        {8, QStringLiteral("明年"), QStringLiteral("行的有效日期请重输!")},
        {9, QStringLiteral("2024-02-30"), QStringLiteral("行的发卡日期请重输!")},
        {16, QStringLiteral("x"), QStringLiteral("行的客生日请重输!")},
    };
    for (const Case& c : cases) {
        observer = RecordingObserver();
        book = &addTemplate(kTemplate);
        book->appendTextRow(1, storedValueHeader());
        addRow(QStringLiteral("A1"));
        addRow(QStringLiteral("A2"), {{c.column, c.text}});
        EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::RowCheckFailed) << c.column;
        EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第3") + c.tail});
    }
    EXPECT_EQ(count(QStringLiteral("HY_Member")), 0);
}

TEST_P(StoredValueTest, NumbersAndDatesFollowTheLocale) {
    locale = QLocale(QLocale::German, QLocale::Germany);
    addRow(QStringLiteral("L1"), {{6, QStringLiteral("12,5")}, {16, QStringLiteral("01.06.1985")}});
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed)
        << observer.messages.join(QLatin1Char('\n')).toStdString()
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(memberNumber(QStringLiteral("L1"), QStringLiteral("SumMoney")), 12.5);
    EXPECT_EQ(member(QStringLiteral("L1"), QStringLiteral("substr(Birthday, 1, 10)")),
              QStringLiteral("1985-06-01"));
}

TEST_P(StoredValueTest, KnownChipNumbersAreSkippedInAnyLetterCase) {
    exec(QStringLiteral("INSERT INTO HY_Member (MemberID, CardTypeID, CardTypeName, SumMoney, "
                        "QtdXfMoney) VALUES ('ab01', 'GOLD', '金卡', 1, 1)"));
    exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName) VALUES ('GOLD', "
                        "'金卡')"));
    addRow(QStringLiteral("AB01"), {{1, QStringLiteral("银卡")}});
    addRow(QStringLiteral("C2"), {{1, QStringLiteral("银卡")}});
    addRow(QStringLiteral("c2"), {{1, QStringLiteral("银卡")}});
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(column(QStringLiteral("SELECT MemberID FROM HY_Member ORDER BY rowid")),
              (QStringList{QStringLiteral("ab01"), QStringLiteral("C2")}));
    EXPECT_EQ(column(QStringLiteral("SELECT CardCode FROM HY_CardValueOpLog")),
              QStringList{QStringLiteral("C2")});
    EXPECT_EQ(observer.messages, QStringList{kDone});
}

TEST_P(StoredValueTest, CleanUpTidiesOlderMembersToo) {
    exec(QStringLiteral("INSERT INTO HY_Member (MemberID, CardTypeID, CardTypeName, SumMoney, "
                        "QtdXfMoney, MemberPassword, RepeatPassword, Phone, PaperTypeName) VALUES "
                        "('OLD1', 'GOLD', '金卡', 300, 0, NULL, 'x', NULL, NULL), "
                        "('OLD2', 'GOLD', '金卡', 500, -1, 'p', 'p', '1', 'id'), "
                        "('OLD3', 'GOLD', '金卡', 500, 20, 'p', 'p', '1', 'id')"));
    exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName) VALUES ('GOLD', "
                        "'金卡')"));
    addRow(QStringLiteral("N1"), {{1, QStringLiteral("银卡")}, {5, QString()}});
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(memberNumber(QStringLiteral("OLD1"), QStringLiteral("QtdXfMoney")), 300.0);
    EXPECT_EQ(memberNumber(QStringLiteral("OLD2"), QStringLiteral("QtdXfMoney")), 500.0);
    EXPECT_EQ(memberNumber(QStringLiteral("OLD3"), QStringLiteral("QtdXfMoney")), 20.0);
    EXPECT_EQ(count(QStringLiteral("HY_Member"),
                    QStringLiteral("MemberID='OLD1' AND MemberPassword='' AND RepeatPassword='' "
                                   "AND Phone='' AND PaperTypeName=''")),
              1);
    EXPECT_EQ(count(QStringLiteral("HY_Member"),
                    QStringLiteral("MemberID='N1' AND MemberPassword='' AND RepeatPassword=''")),
              1);
}

TEST_P(StoredValueTest, NewCardTypeIsCreatedOnceAndItsKeyWrittenBack) {
    exec(QStringLiteral("INSERT INTO HY_Member (MemberID, CardTypeID, CardTypeName) VALUES "
                        "('OLD', 'GOLD', '金卡')"));
    exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName, LevelID) VALUES "
                        "('GOLD', '金卡', 7)"));
    addRow(QStringLiteral("S1"), {{1, QStringLiteral("银卡")}});
    addRow(QStringLiteral("S2"), {{1, QStringLiteral("银卡")}});
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);

    EXPECT_EQ(count(QStringLiteral("HY_CardType")), 2);
    const QString key =
        scalar(QStringLiteral("SELECT CardTypeID FROM HY_CardType WHERE CardTypeName='银卡'"))
            .toString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^0101130405123\\d+$")).match(key).hasMatch())
        << key.toStdString();
    EXPECT_EQ(count(QStringLiteral("HY_CardType"),
                    QStringLiteral("CardTypeName='银卡' AND HotelTreeID='T01' AND LevelID=1 AND "
                                   "isTransfer='n' AND isBackup='n'")),
              1);
    EXPECT_EQ(column(QStringLiteral("SELECT CardTypeID FROM HY_Member ORDER BY rowid")),
              (QStringList{QStringLiteral("GOLD"), key, key}));
    EXPECT_EQ(column(QStringLiteral("SELECT CardGroupID FROM HY_CardValueOpLog ORDER BY rowid")),
              (QStringList{key, key}));
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT LevelID FROM HY_CardType WHERE CardTypeID='GOLD'")).toInt(),
        7);
}

TEST_P(StoredValueTest, CardTypeNamesWithQuotesWork) {
    exec(QStringLiteral("INSERT INTO HY_Member (MemberID, CardTypeID, CardTypeName) VALUES "
                        "('OLD', 'GOLD', '金卡')"));
    exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName) VALUES ('GOLD', "
                        "'金卡')"));
    addRow(QStringLiteral("Q1"), {{1, QStringLiteral("O'Neil卡")}});
    addRow(QStringLiteral("Q2"), {{1, QStringLiteral("x' Or '1'='1")}});
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(count(QStringLiteral("HY_CardType")), 3);
    EXPECT_EQ(member(QStringLiteral("OLD"), QStringLiteral("CardTypeID")), QStringLiteral("GOLD"));
    const QString oneil =
        scalar(QStringLiteral("SELECT CardTypeID FROM HY_CardType WHERE CardTypeName='O''Neil卡'"))
            .toString();
    EXPECT_FALSE(oneil.isEmpty());
    EXPECT_EQ(member(QStringLiteral("Q1"), QStringLiteral("CardTypeID")), oneil);
    EXPECT_EQ(logRow(QStringLiteral("Q1"), QStringLiteral("CardGroupID")), oneil);
    EXPECT_NE(member(QStringLiteral("Q2"), QStringLiteral("CardTypeID")), oneil);
}

TEST_P(StoredValueTest, GeneratedCardTypeKeyAvoidsAKeyAlreadyTaken) {
    // The only pair is row 1, so the key made from the clock is 0101 130405123 1: taken.
    exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName) VALUES "
                        "('01011304051231', '别的卡')"));
    addRow(QStringLiteral("K1"), {{1, QStringLiteral("银卡")}});
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(member(QStringLiteral("K1"), QStringLiteral("CardTypeID")),
              QStringLiteral("01011304051241"));
    EXPECT_EQ(count(QStringLiteral("HY_Member"), QStringLiteral("CardTypeID='01011304051231'")), 0);
}

INSTANTIATE_TEST_SUITE_P(Schemas, StoredValueTest,
                         ::testing::Values(SchemaFlavour::Strict, SchemaFlavour::Loose,
                                           SchemaFlavour::Branch));

} // namespace
} // namespace kestrel::test
