// Results too large to hold whole: read a page at a time, searched through the column index.
#include "db_test_support.h"

#include "text/errors.h"
#include "text/textrules.h"

#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::SqliteFixture;

namespace {

constexpr int kRows = 5000; // more than one page

class LargeResultTest : public ::testing::Test {
protected:
    void SetUp() override {
        db().execute(
            QStringLiteral("Create Table Member (MemberID varchar(20) Primary Key, Grp varchar(4), "
                           "Money numeric(18,2))"));
        db().execute(
            QStringLiteral(
                "With Recursive n(i) As (Select 1 Union All Select i + 1 From n Where i < %1) "
                "Insert Into Member Select 'M' || i, Case When i % 2 = 0 Then 'Even' Else 'Odd' "
                "End, "
                "i / 4.0 From n")
                .arg(kRows));
    }
    Database& db() { return m_fixture.db(); }

    SqliteFixture m_fixture;
};

TEST_F(LargeResultTest, WalksAcrossPagesInOrder) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Member"));
    query.open();
    EXPECT_FALSE(query.isEmpty());
    int rows = 0;
    for (; !query.eof(); query.next()) {
        ++rows;
        ASSERT_EQ(query.recNo(), rows);
        if (rows % 1000 == 1 || rows == 2048 || rows == 2049) {
            ASSERT_EQ(query.fieldText(QStringLiteral("MemberID")), QStringLiteral("M%1").arg(rows));
        }
    }
    EXPECT_EQ(rows, kRows);
}

TEST_F(LargeResultTest, LocatesAnyRowAndReadsIt) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Member"));
    query.open();
    // The key's own index orders M10 before M2: rows are read by value, not by position.
    for (const int row : {4321, 2, 10, 1500}) {
        ASSERT_TRUE(query.locate(QStringLiteral("MemberID"), QStringLiteral("m%1").arg(row)));
        EXPECT_EQ(query.fieldText(QStringLiteral("MemberID")), QStringLiteral("M%1").arg(row));
        EXPECT_EQ(query.fieldText(QStringLiteral("Money")), formatNumber(row / 4.0, db().locale()));
    }
    EXPECT_FALSE(query.locate(QStringLiteral("MemberID"), QStringLiteral("M5001")));
}

TEST_F(LargeResultTest, PostedRowsJoinTheSearchedRows) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Member"));
    query.open();
    EXPECT_FALSE(query.locate(QStringLiteral("MemberID"), QStringLiteral("New1")));
    query.append();
    query.setField(QStringLiteral("MemberID"), QStringLiteral("NEW1"));
    query.setField(QStringLiteral("Money"), QStringLiteral("5"));
    query.post();
    query.append();
    query.setField(QStringLiteral("MemberID"), QStringLiteral("NEW2"));
    query.post();
    ASSERT_TRUE(query.locate(QStringLiteral("MemberID"), QStringLiteral("new1")));
    EXPECT_EQ(query.recNo(), kRows + 1);
    EXPECT_EQ(query.fieldText(QStringLiteral("Money")), QStringLiteral("5"));
    ASSERT_TRUE(query.locate(QStringLiteral("MemberID"), QStringLiteral("m1")));
    EXPECT_EQ(query.fieldText(QStringLiteral("Grp")), QStringLiteral("Odd"));
}

TEST_F(LargeResultTest, ASelectionSearchesOnlyItsOwnRows) {
    Query query(db());
    query.setSql(QStringLiteral(" Select * From Member Where Grp='Even'"));
    query.open();
    EXPECT_TRUE(query.locate(QStringLiteral("MemberID"), QStringLiteral("M4000")));
    EXPECT_EQ(query.fieldText(QStringLiteral("Grp")), QStringLiteral("Even"));
    EXPECT_FALSE(query.locate(QStringLiteral("MemberID"), QStringLiteral("M3999")));
    query.append();
    query.setField(QStringLiteral("MemberID"), QStringLiteral("N3999"));
    query.setField(QStringLiteral("Grp"), QStringLiteral("Even"));
    query.post();
    EXPECT_TRUE(query.locate(QStringLiteral("MemberID"), QStringLiteral("n3999")));
    EXPECT_TRUE(query.locate(QStringLiteral("MemberID"), QStringLiteral("m2")));
    EXPECT_EQ(query.fieldText(QStringLiteral("MemberID")), QStringLiteral("M2"));
}

} // namespace
