// 锁牌房号导入: rooms from worksheet 1, then locker tags from worksheet 2 of the same template.
#include "branch_import_fixture.h"

namespace kestrel::test {
namespace {

const QString kTemplate = QStringLiteral("青雁锁牌房间资料模板.xls");
const QString kDone = QStringLiteral("锁牌房号执行完毕!");

QStringList room(const QString& number, const QString& area = QStringLiteral("足疗区"),
                 const QString& beds = QStringLiteral("2")) {
    return {area, number, QStringLiteral("房") + number, beds};
}

QStringList tag(const QString& number, const QString& sex = QStringLiteral("男宾"),
                const QString& type = QStringLiteral("男宾锁牌")) {
    return {type,
            number,
            QStringLiteral("锁") + number,
            sex,
            QStringLiteral("H") + number,
            QStringLiteral("IC") + number};
}

class RoomsLockersTest : public BranchImportTest {
protected:
    void SetUp() override {
        BranchImportTest::SetUp();
        book = &addTemplate(kTemplate, 2);
        book->appendTextRow(1, {QStringLiteral("房间类型名称"), QStringLiteral("房号"),
                                QStringLiteral("房名"), QStringLiteral("床位数")});
        book->appendTextRow(2, {QStringLiteral("锁牌类型名称"), QStringLiteral("锁牌号"),
                                QStringLiteral("锁牌名称"), QStringLiteral("性别"),
                                QStringLiteral("手牌卡号"), QStringLiteral("IC手牌卡号")});
    }
    QString roomText(const QString& number, const QString& expression) {
        return text(QStringLiteral("SELECT %1 FROM SN_RoomDetail WHERE RoomDetailSN='%2'")
                        .arg(expression, number));
    }
    QString tagText(const QString& number, const QString& expression) {
        return text(QStringLiteral("SELECT %1 FROM SN_HandBrand WHERE HandBrandSN='%2'")
                        .arg(expression, number));
    }

    MemoryWorkbook* book = nullptr;
};

TEST_P(RoomsLockersTest, RoomsThenTagsWithTheirComputedColumns) {
    book->appendTextRow(1, room(QStringLiteral("101"), QStringLiteral("足疗区"), QString()));
    book->appendTextRow(1, room(QStringLiteral("102")));
    const QStringList sexes = {QString(),
                               QStringLiteral("男"),
                               QStringLiteral("男宾"),
                               QStringLiteral("女"),
                               QStringLiteral("女宾"),
                               QStringLiteral("M")};
    for (int i = 0; i < sexes.size(); ++i)
        book->appendTextRow(2, tag(QStringLiteral("T%1").arg(i), sexes.at(i)));
    ASSERT_EQ(run(ImportKind::RoomsLockers), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();

    EXPECT_EQ(observer.messages, (QStringList{kDone, kDone}));
    EXPECT_TRUE(observer.captions.contains(QStringLiteral("当前第1记录,房号：101")));
    EXPECT_EQ(observer.captions.last(), QStringLiteral("当前第6记录,锁牌号：T5"));
    EXPECT_EQ(roomText(QStringLiteral("101"), QStringLiteral("BedNumber")).toDouble(), 1.0);
    EXPECT_EQ(roomText(QStringLiteral("102"), QStringLiteral("BedNumber")).toDouble(), 2.0);
    EXPECT_EQ(roomText(QStringLiteral("101"), QStringLiteral("RoomDetailName || DiningRoomName || "
                                                             "Status || isStop || BindItemTypeFlag "
                                                             "|| isTransfer || isBackup")),
              QStringLiteral("房101足疗区0nNORnn"));
    EXPECT_EQ(
        column(QStringLiteral("SELECT HandSex FROM SN_HandBrand ORDER BY rowid")),
        (QStringList{QStringLiteral("男宾"), QStringLiteral("男宾"), QStringLiteral("男宾"),
                     QStringLiteral("女宾"), QStringLiteral("女宾"), QStringLiteral("女宾")}));
    EXPECT_EQ(tagText(QStringLiteral("T1"), QStringLiteral("HandBrandName || HandTypeName || "
                                                           "HandCardCode || IcHandCardCode || "
                                                           "BindItemTypeFlag || isStop")),
              QStringLiteral("锁T1男宾锁牌HT1ICT1NORn"));
    // The locker tag row writes the two flags as empty texts, the room row as "n".
    EXPECT_EQ(
        count(QStringLiteral("SN_HandBrand"), QStringLiteral("isTransfer='' AND isBackup=''")), 6);

    // One area and one tag type, each created once and its key written back.
    EXPECT_EQ(count(QStringLiteral("CY_DiningRoom")), 1);
    const QString area = text(QStringLiteral("SELECT DiningRoomSN FROM CY_DiningRoom"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^DR\\d{9}$")).match(area).hasMatch())
        << area.toStdString();
    EXPECT_EQ(count(QStringLiteral("SN_RoomDetail"), QStringLiteral("DiningRoomSN='%1'").arg(area)),
              2);
    EXPECT_EQ(count(QStringLiteral("CY_DiningRoom"),
                    QStringLiteral("DiningRoomName='足疗区' AND MokuanID='SN' AND BarTaiID='' AND "
                                   "isTransfer='n' AND isBackup='n'")),
              1);
    EXPECT_EQ(count(QStringLiteral("SN_HandType")), 1);
    const QString type = text(QStringLiteral("SELECT HandTypeID FROM SN_HandType"));
    EXPECT_EQ(count(QStringLiteral("SN_HandBrand"), QStringLiteral("HandTypeID='%1'").arg(type)),
              6);
}

TEST_P(RoomsLockersTest, KnownNumbersAreSkippedInAnyLetterCase) {
    exec(QStringLiteral("INSERT INTO SN_RoomDetail (RoomDetailSN, DiningRoomSN, DiningRoomName) "
                        "VALUES ('a1', 'OLD', '旧区')"));
    exec(QStringLiteral("INSERT INTO CY_DiningRoom (DiningRoomSN, DiningRoomName) VALUES ('OLD', "
                        "'旧区')"));
    exec(QStringLiteral("INSERT INTO SN_HandBrand (HandBrandSN) VALUES ('t1')"));
    book->appendTextRow(1, room(QStringLiteral("A1"), QStringLiteral("新区")));
    book->appendTextRow(1, room(QStringLiteral("b2")));
    book->appendTextRow(1, room(QStringLiteral("B2")));
    book->appendTextRow(2, tag(QStringLiteral("T1")));
    book->appendTextRow(2, tag(QStringLiteral("x9")));
    book->appendTextRow(2, tag(QStringLiteral("X9")));
    ASSERT_EQ(run(ImportKind::RoomsLockers), RunOutcome::Completed);
    EXPECT_EQ(column(QStringLiteral("SELECT RoomDetailSN FROM SN_RoomDetail ORDER BY rowid")),
              (QStringList{QStringLiteral("a1"), QStringLiteral("b2")}));
    EXPECT_EQ(column(QStringLiteral("SELECT HandBrandSN FROM SN_HandBrand ORDER BY rowid")),
              (QStringList{QStringLiteral("t1"), QStringLiteral("x9")}));
    // The area of the skipped room is not created; the existing area is left alone.
    EXPECT_EQ(column(QStringLiteral("SELECT DiningRoomName FROM CY_DiningRoom ORDER BY rowid")),
              (QStringList{QStringLiteral("旧区"), QStringLiteral("足疗区")}));
    EXPECT_EQ(roomText(QStringLiteral("a1"), QStringLiteral("DiningRoomSN")),
              QStringLiteral("OLD"));
}

TEST_P(RoomsLockersTest, BadRoomWritesNothingOfEitherWorksheet) {
    book->appendTextRow(1, room(QStringLiteral("101")));
    book->appendTextRow(1, room(QStringLiteral("102")));
    book->appendTextRow(1, changed(room(QStringLiteral("103")), {{3, QString()}, {4, QString()}}));
    book->appendTextRow(2, tag(QStringLiteral("T1")));
    EXPECT_EQ(run(ImportKind::RoomsLockers), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第4行的房名不能为空!")});
    EXPECT_EQ(count(QStringLiteral("SN_RoomDetail")) + count(QStringLiteral("SN_HandBrand")) +
                  count(QStringLiteral("CY_DiningRoom")),
              0);
}

TEST_P(RoomsLockersTest, BadTagAfterGoodRoomsKeepsTheRooms) {
    book->appendTextRow(1, room(QStringLiteral("101")));
    book->appendTextRow(2, tag(QStringLiteral("T1")));
    book->appendTextRow(2, changed(tag(QStringLiteral("T2")), {{2, QString()}}));
    EXPECT_EQ(run(ImportKind::RoomsLockers), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, (QStringList{kDone, QStringLiteral("第3行的锁牌号不能为空!")}));
    EXPECT_EQ(count(QStringLiteral("SN_RoomDetail"), QStringLiteral("DiningRoomSN LIKE 'DR%'")), 1);
    EXPECT_EQ(count(QStringLiteral("CY_DiningRoom")), 1);
    EXPECT_EQ(count(QStringLiteral("SN_HandBrand")) + count(QStringLiteral("SN_HandType")), 0);
}

TEST_P(RoomsLockersTest, TemplateWithoutTagWorksheetFailsAfterTheRooms) {
    auto single = std::make_shared<MemoryWorkbook>(kTemplate, 1);
    single->appendTextRow(1, {QStringLiteral("header")});
    single->appendTextRow(1, room(QStringLiteral("101")));
    templates.insert(kTemplate, single);
    EXPECT_EQ(run(ImportKind::RoomsLockers), RunOutcome::Error);
    EXPECT_EQ(observer.messages, QStringList{kDone});
    EXPECT_EQ(observer.errors.size(), 1);
    EXPECT_EQ(count(QStringLiteral("SN_RoomDetail")), 1);
}

TEST_P(RoomsLockersTest, BedCountTheColumnRefusesIsADatabaseErrorAndNothingIsKept) {
    book->appendTextRow(1, room(QStringLiteral("101")));
    book->appendTextRow(
        1, room(QStringLiteral("102"), QStringLiteral("足疗区"), QStringLiteral("两张")));
    book->appendTextRow(2, tag(QStringLiteral("T1")));
    EXPECT_EQ(run(ImportKind::RoomsLockers), RunOutcome::Error);
    EXPECT_TRUE(observer.messages.isEmpty())
        << observer.messages.join(QLatin1Char(' ')).toStdString();
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors.front().contains(QStringLiteral("两张")))
        << observer.errors.front().toStdString();
    EXPECT_EQ(count(QStringLiteral("SN_RoomDetail")) + count(QStringLiteral("SN_HandBrand")), 0);
}

TEST_P(RoomsLockersTest, EmptyWorksheetsStillReconcileAndComplete) {
    exec(QStringLiteral("INSERT INTO SN_HandBrand (HandBrandSN, HandTypeID, HandTypeName) VALUES "
                        "('OLD', '', '旧锁牌')"));
    EXPECT_EQ(run(ImportKind::RoomsLockers), RunOutcome::Completed);
    EXPECT_EQ(observer.messages, (QStringList{kDone, kDone}));
    // Tags an earlier import left without a type key get one.
    EXPECT_EQ(count(QStringLiteral("SN_HandType"), QStringLiteral("HandTypeName='旧锁牌'")), 1);
    EXPECT_EQ(tagText(QStringLiteral("OLD"), QStringLiteral("HandTypeID")),
              text(QStringLiteral("SELECT HandTypeID FROM SN_HandType")));
}

INSTANTIATE_TEST_SUITE_P(Schemas, RoomsLockersTest,
                         ::testing::Values(BranchFlavour::Branch, BranchFlavour::Loose),
                         flavourName);

} // namespace
} // namespace kestrel::test
