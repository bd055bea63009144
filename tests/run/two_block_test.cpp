// The frame on a description of its own: two blocks in one click, and the field sources and
// check rules that later importers use (read-back values, numbers read back, today, classify).
#include "run_fixture.h"

namespace kestrel::test {
namespace {

const QString kTemplate = QStringLiteral("两块模板.xls");

ColumnCheck check(int column, ColumnCheck::Rule rule, const char* tail = "",
                  QStringList allowed = {}, CellDefault fallback = {}, CellDefault otherwise = {}) {
    return {column, rule, QString::fromUtf8(tail), allowed, fallback, otherwise};
}

BlockDefinition roomsBlock() {
    BlockDefinition block;
    block.templateFile = kTemplate;
    block.worksheet = 1;
    block.keyColumn = 1;
    block.captionMiddle = QStringLiteral("记录,房号：");
    block.checks = {
        check(1, ColumnCheck::Rule::NotEmpty, "行的房号不能为空!"),
        check(2, ColumnCheck::Rule::DefaultWhenEmpty, "", {},
              CellDefault::ofText(QStringLiteral("1"))),
        check(3, ColumnCheck::Rule::Classify, "",
              {QString(), QStringLiteral("男"), QStringLiteral("男宾")},
              CellDefault::ofText(QStringLiteral("男宾")),
              CellDefault::ofText(QStringLiteral("女宾"))),
    };
    block.mainStatement = QStringLiteral("Select * From Rooms");
    block.keyField = QStringLiteral("RoomSN");
    block.importPassOpenings = {{QueryRole::CardValue, QStringLiteral("Select * From RoomLog")}};
    FieldList room;
    room.set("RoomSN", templateColumn(1))
        .set("Beds", templateColumn(2))
        .set("Sex", templateColumn(3))
        .set("Made", todayPlusDays(0))
        .set("Copy", sameRow(QStringLiteral("Made")));
    FieldList log;
    log.set("LogRoom", mainRow(QStringLiteral("RoomSN")))
        .set("Beds", mainRowNumber(QStringLiteral("Beds")));
    block.rows = {{QueryRole::Card, room}, {QueryRole::CardValue, log}};
    block.completionMessage = QStringLiteral("房间完毕!");
    return block;
}

BlockDefinition tagsBlock() {
    BlockDefinition block;
    block.templateFile = kTemplate;
    block.worksheet = 2;
    block.keyColumn = 1;
    block.captionMiddle = QStringLiteral("记录,锁牌号：");
    block.checks = {
        check(1, ColumnCheck::Rule::NotEmpty, "行的锁牌号不能为空!"),
        check(2, ColumnCheck::Rule::DefaultWhenEmptyElseAllowed, "行的标志请重输!",
              {QStringLiteral("y"), QStringLiteral("n")}, CellDefault::ofText(QStringLiteral("y"))),
    };
    block.mainStatement = QStringLiteral("Select * From Tags");
    block.keyField = QStringLiteral("TagSN");
    FieldList tag;
    tag.set("TagSN", templateColumn(1)).set("Flag", templateColumn(2));
    block.rows = {{QueryRole::Card, tag}};
    block.completionMessage = QStringLiteral("锁牌完毕!");
    return block;
}

class TwoBlockTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        createSchema({
            QStringLiteral("CREATE TABLE Rooms (RoomSN varchar(20) COLLATE NOCASE, Beds int, Sex "
                           "varchar(4), Made datetime, Copy datetime)"),
            QStringLiteral("CREATE TABLE RoomLog (LogRoom varchar(20), Beds real)"),
            QStringLiteral("CREATE TABLE Tags (TagSN varchar(20) COLLATE NOCASE, Flag varchar(1))"),
        });
        book = &addTemplate(kTemplate, 2);
        book->appendTextRow(
            1, {QStringLiteral("房号"), QStringLiteral("床位"), QStringLiteral("性别")});
        book->appendTextRow(1, {QStringLiteral("R1"), QString(), QString()});
        book->appendTextRow(1, {QStringLiteral("R2"), QStringLiteral("2"), QStringLiteral("女")});
        book->appendTextRow(2, {QStringLiteral("锁牌号"), QStringLiteral("标志")});
        book->appendTextRow(2, {QStringLiteral("T1"), QString()});
        book->appendTextRow(2, {QStringLiteral("T2"), QStringLiteral("n")});
    }

    ImportDefinition definition() const { return {{roomsBlock(), tagsBlock()}}; }

    MemoryWorkbook* book = nullptr;
};

TEST_F(TwoBlockTest, BothBlocksRunInOrderWithTheirOwnFields) {
    EXPECT_EQ(runDefinition(definition()), RunOutcome::Completed);
    EXPECT_EQ(observer.messages,
              (QStringList{QStringLiteral("房间完毕!"), QStringLiteral("锁牌完毕!")}));
    EXPECT_TRUE(observer.captions.contains(QStringLiteral("当前第1记录,房号：R1")));
    EXPECT_EQ(observer.captions.last(), QStringLiteral("当前第2记录,锁牌号：T2"));
    EXPECT_EQ(column(QStringLiteral("SELECT RoomSN || Beds || Sex FROM Rooms ORDER BY rowid")),
              (QStringList{QStringLiteral("R11男宾"), QStringLiteral("R22女宾")}));
    EXPECT_EQ(count(QStringLiteral("Rooms"), QStringLiteral("substr(Made, 1, 10) = '2024-02-28' "
                                                            "AND Copy = Made")),
              2);
    EXPECT_EQ(column(QStringLiteral("SELECT LogRoom || ':' || typeof(Beds) || ':' || Beds FROM "
                                    "RoomLog ORDER BY rowid")),
              (QStringList{QStringLiteral("R1:real:1.0"), QStringLiteral("R2:real:2.0")}));
    EXPECT_EQ(column(QStringLiteral("SELECT TagSN || Flag FROM Tags ORDER BY rowid")),
              (QStringList{QStringLiteral("T1y"), QStringLiteral("T2n")}));
}

TEST_F(TwoBlockTest, FailedCheckInTheSecondBlockKeepsTheFirst) {
    book->setCell(2, 2, 2, CellValue::fromText(QStringLiteral("x")));
    EXPECT_EQ(runDefinition(definition()), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages,
              (QStringList{QStringLiteral("房间完毕!"), QStringLiteral("第2行的标志请重输!")}));
    EXPECT_EQ(count(QStringLiteral("Rooms")), 2);
    EXPECT_EQ(count(QStringLiteral("Tags")), 0);
}

TEST_F(TwoBlockTest, ErrorInTheSecondBlockKeepsTheFirst) {
    exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Tags WHEN NEW.TagSN = 'T2' BEGIN "
                        "SELECT RAISE(ABORT, 'tag refused'); END"));
    EXPECT_EQ(runDefinition(definition()), RunOutcome::Error);
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("房间完毕!")});
    EXPECT_EQ(observer.errors.size(), 1);
    EXPECT_EQ(count(QStringLiteral("Rooms")), 2);
    EXPECT_EQ(count(QStringLiteral("Tags")), 0);
}

TEST_F(TwoBlockTest, FailureInTheFirstBlockEndsTheClick) {
    book->setCell(1, 3, 1, CellValue::blank());
    EXPECT_EQ(runDefinition(definition()), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第3行的房号不能为空!")});
    EXPECT_EQ(observer.progressMaxima.size(), 1) << "the second worksheet was read";
    EXPECT_EQ(count(QStringLiteral("Rooms")) + count(QStringLiteral("Tags")), 0);
}

TEST_F(TwoBlockTest, MissingSecondWorksheetIsAnErrorAfterTheFirstBlock) {
    auto single = std::make_shared<MemoryWorkbook>(kTemplate, 1);
    single->appendTextRow(1, {QStringLiteral("房号")});
    single->appendTextRow(1, {QStringLiteral("R9")});
    templates.insert(kTemplate, single);
    EXPECT_EQ(runDefinition(definition()), RunOutcome::Error);
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("房间完毕!")});
    EXPECT_EQ(count(QStringLiteral("Rooms")), 1);
}

TEST_F(TwoBlockTest, CheckModeChecksBothWorksheets) {
    book->setCell(1, 3, 1, CellValue::blank());
    book->setCell(2, 2, 2, CellValue::fromText(QStringLiteral("x")));
    book->setCell(2, 3, 1, CellValue::blank());
    EXPECT_EQ(runDefinition(definition(), RunMode::CheckOnly), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, (QStringList{QStringLiteral("第3行的房号不能为空!"),
                                              QStringLiteral("第2行的标志请重输!"),
                                              QStringLiteral("第3行的锁牌号不能为空!")}));
    EXPECT_EQ(count(QStringLiteral("Rooms")) + count(QStringLiteral("Tags")), 0);
}

} // namespace
} // namespace kestrel::test
