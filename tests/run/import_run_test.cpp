#include "run_fixture.h"

#include "importers/importers.h"

namespace kestrel::test {
namespace {

const QString kTemplate = QStringLiteral("青雁充值卡模板.xls");
const QString kDone = QStringLiteral("充值卡执行完毕!");

class ImportRunTest : public StoredValueRunFixture {
protected:
    int members() { return count(QStringLiteral("HY_Member")); }
};

TEST_F(ImportRunTest, BranchFieldsAreTrimmedReportedAndWritten) {
    identity = {QStringLiteral(" T01\t"), QStringLiteral("\n0101 "), QStringLiteral(" 青雁一店 ")};
    addRows({QStringLiteral("A1")});
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(observer.trimmed.hotelTreeId, QStringLiteral("T01"));
    EXPECT_EQ(observer.trimmed.hotelId, QStringLiteral("0101"));
    EXPECT_EQ(observer.trimmed.hotelName, QStringLiteral("青雁一店"));
    EXPECT_EQ(column(QStringLiteral("SELECT HotelTreeID || '|' || HotelID || '|' || HotelName "
                                    "FROM HY_Member")),
              QStringList{QStringLiteral("T01|0101|青雁一店")});
}

TEST_F(ImportRunTest, EmptyBranchFieldsStopBeforeTheTemplateInCheckOrder) {
    struct Case {
        BranchIdentity identity;
        QString message;
    };
    const QList<Case> cases = {
        {{QStringLiteral("  "), QString(), QString()}, QStringLiteral("集团号不能为空!")},
        {{QStringLiteral("T"), QStringLiteral(" \t "), QString()},
         QStringLiteral("分店号不能为空!")},
        {{QStringLiteral("T"), QStringLiteral("1"), QStringLiteral("   ")},
         QStringLiteral("分店名不能为空!")},
    };
    addRows({QStringLiteral("A1")});
    for (const Case& c : cases) {
        observer = RecordingObserver();
        identity = c.identity;
        EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::IdentityCheckFailed);
        EXPECT_EQ(observer.messages, QStringList{c.message});
        EXPECT_TRUE(observer.progressMaxima.isEmpty()) << "the template was opened";
    }
    EXPECT_EQ(members(), 0);
}

TEST_F(ImportRunTest, CaptionShowsRecordNumberWhileMessageNamesTheRow) {
    addRows({QStringLiteral("A1")});
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(observer.captions.first(), QStringLiteral("当前第1记录,卡芯号：A1"));
    EXPECT_EQ(observer.progressMaxima, (QList<int>{2, 2}));
    EXPECT_EQ(observer.lastProgress, 2);

    observer = RecordingObserver();
    book->setCell(1, 2, 1, CellValue::blank());
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第2行的卡类型名不能为空!")});
}

TEST_F(ImportRunTest, PhasesAreReportedInOrder) {
    addRows({QStringLiteral("A1")});
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(phases, (QList<RunPhase>{RunPhase::Checking, RunPhase::ImportPass, RunPhase::CleanUp,
                                       RunPhase::Reconciliation, RunPhase::Finished}));
}

TEST_F(ImportRunTest, FailedCheckInTheLastRowLeavesTheDatabaseUntouched) {
    exec(QStringLiteral("INSERT INTO HY_Member (MemberID, SumMoney, QtdXfMoney) VALUES ('OLD', "
                        "300, 0)"));
    addRows({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3"), QString()});
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第5行的卡芯编号不能为空!")});
    EXPECT_EQ(members(), 1);
    EXPECT_EQ(count(QStringLiteral("HY_CardValueOpLog")), 0);
    // The clean-up did not run either.
    EXPECT_EQ(scalar(QStringLiteral("SELECT QtdXfMoney FROM HY_Member")).toDouble(), 0.0);
    // Nothing stays open: the next run fails the same way, not on the database.
    observer = RecordingObserver();
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::RowCheckFailed);
    EXPECT_TRUE(observer.errors.isEmpty());
}

TEST_F(ImportRunTest, HeaderOnlyStillRunsCleanUpAndReconciliation) {
    exec(QStringLiteral("INSERT INTO HY_Member (MemberID, SumMoney, QtdXfMoney, CardTypeID, "
                        "CardTypeName) VALUES ('OLD', 300, 0, '', '旧卡')"));
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(observer.messages, QStringList{kDone});
    EXPECT_TRUE(observer.captions.isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("SELECT QtdXfMoney FROM HY_Member")).toDouble(), 300.0);
    EXPECT_EQ(count(QStringLiteral("HY_CardType"), QStringLiteral("CardTypeName='旧卡'")), 1);
}

TEST_F(ImportRunTest, EmptyWorksheetRunsNoPass) {
    templates.insert(kTemplate, std::make_shared<MemoryWorkbook>());
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(observer.messages, QStringList{kDone});
}

TEST_F(ImportRunTest, ErrorCellEndsTheRunWithItsText) {
    addRows({QStringLiteral("A1"), QStringLiteral("A2")});
    book->setCell(1, 3, 10, CellValue::fromError(0x07));
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Error);
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors.first().contains(QStringLiteral("#DIV/0!")))
        << observer.errors.first().toStdString();
    EXPECT_TRUE(observer.messages.isEmpty());
    EXPECT_EQ(members(), 0);
}

TEST_F(ImportRunTest, MissingTemplateIsAnError) {
    templates.clear();
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Error);
    EXPECT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.messages.isEmpty());
}

TEST_F(ImportRunTest, DatabaseErrorMidPassRollsTheBlockBack) {
    exec(QStringLiteral("CREATE TRIGGER refuse_third BEFORE INSERT ON HY_Member WHEN "
                        "NEW.MemberID = 'A3' BEGIN SELECT RAISE(ABORT, 'third member refused'); "
                        "END"));
    addRows(
        {QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3"), QStringLiteral("A4")});
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Error);
    ASSERT_EQ(observer.errors.size(), 1);
    EXPECT_TRUE(observer.errors.first().contains(QStringLiteral("third member refused")))
        << observer.errors.first().toStdString();
    EXPECT_TRUE(observer.messages.isEmpty()) << "no completion message";
    EXPECT_EQ(members(), 0);
    EXPECT_EQ(count(QStringLiteral("HY_CardValueOpLog")), 0);
    EXPECT_EQ(count(QStringLiteral("HY_CardType")), 0);

    // The database stays usable: after the fault is gone the same template imports in full.
    exec(QStringLiteral("DROP TRIGGER refuse_third"));
    observer = RecordingObserver();
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(members(), 4);
}

TEST_F(ImportRunTest, ErrorInReconciliationRollsBackTheRowsToo) {
    exec(QStringLiteral("CREATE TRIGGER refuse_type BEFORE INSERT ON HY_CardType BEGIN SELECT "
                        "RAISE(ABORT, 'no new card types'); END"));
    addRows({QStringLiteral("A1")});
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Error);
    EXPECT_EQ(members(), 0);
    EXPECT_EQ(count(QStringLiteral("HY_CardValueOpLog")), 0);
}

TEST_F(ImportRunTest, StopRequestRollsTheRunningBlockBackInEitherPass) {
    addRows(
        {QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3"), QStringLiteral("A4")});
    for (const RunPhase pass : {RunPhase::Checking, RunPhase::ImportPass}) {
        phases.clear();
        stopRequested = false;
        StoppingObserver stopping(stopRequested, phases, pass, 4);
        RunContext stoppingContext = context(RunMode::Import, &stopping);
        EXPECT_EQ(runImport(ImportKind::StoredValue, stoppingContext), RunOutcome::Stopped);
        EXPECT_TRUE(stopping.messages.isEmpty() && stopping.errors.isEmpty());
        EXPECT_EQ(stopping.lastProgress, 4) << "the run went on past the stop";
        EXPECT_EQ(members(), 0);
        EXPECT_EQ(count(QStringLiteral("HY_CardValueOpLog")), 0);
    }
    stopRequested = false;
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(members(), 4);
}

TEST_F(ImportRunTest, SecondRunSkipsEveryRow) {
    addRows({QStringLiteral("A1"), QStringLiteral("A2")});
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(observer.messages, (QStringList{kDone, kDone}));
    EXPECT_EQ(members(), 2);
    EXPECT_EQ(count(QStringLiteral("HY_CardValueOpLog")), 2);
    EXPECT_EQ(count(QStringLiteral("HY_CardType")), 1);
}

TEST_F(ImportRunTest, CheckModeReportsEveryFailureAndWritesNothing) {
    exec(QStringLiteral("INSERT INTO HY_Member (MemberID, SumMoney, QtdXfMoney) VALUES ('OLD', "
                        "300, 0)"));
    identity = {}; // not needed to check a template
    addRows(
        {QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3"), QStringLiteral("A4")});
    book->setCell(1, 3, 6, CellValue::fromText(QStringLiteral("12元")));
    book->setCell(1, 3, 16, CellValue::fromText(QStringLiteral("生日")));
    book->setCell(1, 5, 2, CellValue::blank());
    EXPECT_EQ(run(ImportKind::StoredValue, RunMode::CheckOnly), RunOutcome::RowCheckFailed);
    EXPECT_EQ(observer.messages, (QStringList{QStringLiteral("第3行的卡中金额请重输!"),
                                              QStringLiteral("第3行的客生日请重输!"),
                                              QStringLiteral("第5行的卡芯编号不能为空!")}));
    EXPECT_EQ(members(), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT QtdXfMoney FROM HY_Member")).toDouble(), 0.0);
}

TEST_F(ImportRunTest, CheckModeOnAGoodTemplateCompletesSilently) {
    addRows({QStringLiteral("A1")});
    EXPECT_EQ(run(ImportKind::StoredValue, RunMode::CheckOnly), RunOutcome::Completed);
    EXPECT_TRUE(observer.messages.isEmpty());
    EXPECT_EQ(members(), 0);
}

TEST(ImportRegistry, NamesEveryButton) {
    EXPECT_EQ(importRegistry().size(), 7);
    for (const ImportEntry& entry : importRegistry()) {
        EXPECT_EQ(importKindFromCommandName(entry.commandName), entry.kind);
    }
    EXPECT_EQ(importEntry(ImportKind::StoredValue).handlerName, QStringLiteral("btnStartClick"));
    EXPECT_FALSE(importKindFromCommandName(QStringLiteral("Stored-Value")).has_value());
}

} // namespace
} // namespace kestrel::test
