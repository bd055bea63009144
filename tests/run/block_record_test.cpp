// The record each block of an import gives its observer: gathered as the block runs, and empty
// of writes when the block was rolled back.
#include "run_fixture.h"

#include "run/block_record.h"

#include <functional>

namespace kestrel::test {
namespace {

const QString kTemplate = QStringLiteral("青雁充值卡模板.xls");

class BlockRecordTest : public StoredValueRunFixture {
protected:
    void SetUp() override {
        StoredValueRunFixture::SetUp();
        exec(QStringLiteral("INSERT INTO HY_Member (MemberID, SumMoney, QtdXfMoney, CardTypeID, "
                            "CardTypeName) VALUES ('old', 300, 300, 'VIP', '贵宾卡')"));
        exec(QStringLiteral("INSERT INTO HY_CardType (CardTypeID, CardTypeName) VALUES ('VIP', "
                            "'贵宾卡')"));
    }

    const BlockRecord& onlyRecord() {
        EXPECT_EQ(observer.records.size(), 1);
        static const BlockRecord none;
        return observer.records.isEmpty() ? none : observer.records.last();
    }
};

TEST_F(BlockRecordTest, CompletedBlockTellsWhatItCheckedWroteLeftOutAndCreated) {
    identity = {QStringLiteral(" T01"), QStringLiteral("0101 "), QStringLiteral("青雁一店")};
    addRows(
        {QStringLiteral("A1"), QStringLiteral("OLD"), QStringLiteral("A3"), QStringLiteral("a1")});
    book->setCell(1, 2, 3, CellValue::blank()); // card face number: the chip number
    book->setCell(1, 4, 3, CellValue::blank());
    book->setCell(1, 2, 8, CellValue::blank()); // valid until: a year from today
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);

    const BlockRecord& record = onlyRecord();
    EXPECT_EQ(record.importName, QStringLiteral("stored-value"));
    EXPECT_EQ(record.importCaption, QStringLiteral("充值卡导入"));
    EXPECT_EQ(std::pair(record.block, record.blockCount), std::pair(1, 1));
    EXPECT_EQ(record.templatePath, folder->filePath(kTemplate));
    EXPECT_EQ(std::pair(record.worksheet, record.worksheetName),
              std::pair(1, QStringLiteral("Sheet1")));
    EXPECT_EQ(record.mainTable + QLatin1Char('.') + record.keyField,
              QStringLiteral("HY_Member.MemberID"));
    EXPECT_EQ(record.writtenTables,
              (QStringList{QStringLiteral("HY_Member"), QStringLiteral("HY_CardValueOpLog")}));
    EXPECT_EQ(record.database.file, folder->filePath(QStringLiteral("branch.db")));
    EXPECT_EQ(record.branch.hotelTreeId + record.branch.hotelId, QStringLiteral("T010101"));
    EXPECT_EQ(record.started, now);

    EXPECT_EQ(record.outcome, BlockOutcome::Completed);
    EXPECT_EQ(record.rowsChecked, 4);
    EXPECT_EQ(record.rowsWritten, 2);
    EXPECT_EQ(record.rowsWritten, count(QStringLiteral("HY_Member")) - 1);
    EXPECT_EQ(record.keysLeftOut, (QStringList{QStringLiteral("OLD"), QStringLiteral("a1")}));

    ASSERT_EQ(record.defaults.size(), 2);
    EXPECT_EQ(record.defaults.at(0).column, 3);
    EXPECT_EQ(record.defaults.at(0).header, QStringLiteral("卡面号"));
    EXPECT_EQ(record.defaults.at(0).copiedFromColumn, 2);
    EXPECT_EQ(record.defaults.at(0).cells, 2);
    EXPECT_EQ(record.defaults.at(1).column, 8);
    EXPECT_EQ(record.defaults.at(1).value, QStringLiteral("2025-02-27"));
    EXPECT_EQ(record.defaults.at(1).cells, 1);

    ASSERT_EQ(record.categories.size(), 1);
    EXPECT_EQ(record.categories.at(0).categoryTable, QStringLiteral("HY_CardType"));
    ASSERT_EQ(record.categories.at(0).created.size(), 1);
    EXPECT_EQ(record.categories.at(0).created.at(0).key,
              scalar(QStringLiteral("SELECT CardTypeID FROM HY_CardType WHERE CardTypeName='金卡'"))
                  .toString());
    EXPECT_EQ(record.categories.at(0).created.at(0).name, QStringLiteral("金卡"));
    EXPECT_TRUE(record.categories.at(0).reused.isEmpty());
    for (const PassTiming* pass : {&record.checking, &record.importing, &record.closing}) {
        EXPECT_EQ(pass->started, now);
        EXPECT_GE(pass->microseconds, 0);
    }

    // Again: every row is left out, nothing is written or created.
    observer = RecordingObserver();
    ASSERT_EQ(run(ImportKind::StoredValue), RunOutcome::Completed);
    EXPECT_EQ(onlyRecord().rowsWritten, 0);
    EXPECT_EQ(onlyRecord().keysLeftOut.size(), 4);
    EXPECT_TRUE(onlyRecord().categories.at(0).created.isEmpty());
}

TEST_F(BlockRecordTest, BlocksRolledBackCountNothingAsWritten) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        RunPhase stopIn; // Finished: no stop
        BlockOutcome outcome;
        int failedRow;
        QString message;
    };
    const QList<Case> cases = {
        {"bad row", [&] { book->setCell(1, 5, 2, CellValue::blank()); }, RunPhase::Finished,
         BlockOutcome::RowCheckFailed, 5, QStringLiteral("第5行的卡芯编号不能为空!")},
        {"database error",
         [&] {
             exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON HY_Member WHEN "
                                 "NEW.MemberID = 'A3' BEGIN SELECT RAISE(ABORT, 'A3 refused'); "
                                 "END"));
         },
         RunPhase::Finished, BlockOutcome::Error, 0, QStringLiteral("A3 refused")},
        {"stopped by the operator", [] {}, RunPhase::ImportPass, BlockOutcome::Stopped, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restartTemplate();
        addRows({QStringLiteral("A1"), QStringLiteral("OLD"), QStringLiteral("A3"),
                 QStringLiteral("A4")});
        c.arrange();
        phases.clear();
        stopRequested = false;
        StoppingObserver reports(stopRequested, phases, c.stopIn, 5);
        RunContext runContext = context(RunMode::Import, &reports);
        runImport(ImportKind::StoredValue, runContext);
        exec(QStringLiteral("DROP TRIGGER IF EXISTS refuse"));

        ASSERT_EQ(reports.records.size(), 1);
        const BlockRecord& record = reports.records.first();
        EXPECT_EQ(record.outcome, c.outcome);
        EXPECT_EQ(record.failedRow, c.failedRow);
        EXPECT_TRUE(record.message.contains(c.message)) << record.message.toStdString();
        EXPECT_EQ(record.rowsChecked, 4);
        EXPECT_EQ(record.rowsWritten, 0);
        EXPECT_TRUE(record.keysLeftOut.isEmpty());
        EXPECT_TRUE(record.categories.isEmpty());
        EXPECT_EQ(count(QStringLiteral("HY_Member")), 1);
    }
}

TEST_F(BlockRecordTest, NoRecordWhenRecordingIsOffOrOnlyChecking) {
    addRows({QStringLiteral("A1")});
    RunContext quiet = context(RunMode::Import);
    quiet.recordBlocks = false;
    ASSERT_EQ(runImport(ImportKind::StoredValue, quiet), RunOutcome::Completed);
    ASSERT_EQ(run(ImportKind::StoredValue, RunMode::CheckOnly), RunOutcome::Completed);
    EXPECT_TRUE(observer.records.isEmpty());
}

} // namespace
} // namespace kestrel::test
