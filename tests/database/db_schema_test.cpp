// The embedded branch schema: it loads, holds the tables and key columns the imports rely on,
// and accepts the statements the imports run.
#include "db_test_support.h"
#include "test_paths.h"

#include "text/errors.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::SqliteFixture;

namespace {

class BranchSchemaTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* script : {"/schema/branch.sql", "/schema/demo-data.sql"}) {
            const QStringList statements =
                test::scriptStatements(test::sourceDir() + QLatin1String(script));
            ASSERT_FALSE(statements.isEmpty()) << script;
            for (const QString& statement : statements)
                db().execute(statement);
        }
    }
    Database& db() { return m_fixture.db(); }

    void insertCountCard(const QString& group, const QString& code) {
        Query query(db());
        query.setSql(
            QStringLiteral(" Select * From HY_JiCiCardDetail Where CardGroupID='%1'").arg(group));
        query.open();
        query.append();
        query.setField(QStringLiteral("CardGroupID"), group);
        query.setField(QStringLiteral("CardCode"), code);
        query.post();
    }

    SqliteFixture m_fixture;
};

TEST_F(BranchSchemaTest, HoldsEveryTableWithItsRowKey) {
    const std::pair<const char*, const char*> keys[] = {
        {"Sys_System", "HotelTreeID"},
        {"HY_Member", "MemberID"},
        {"HY_JFAgioCardDetail", "CardCode"},
        {"HY_JiCiCardDetail", "CardCode"},
        {"HY_JiCiCardLog", "Times"},
        {"HY_CardValueOpLog", "CardGroupName"},
        {"HY_CardType", "CardTypeID"},
        {"SN_RoomDetail", "RoomDetailSN"},
        {"CY_DiningRoom", "DiningRoomSN"},
        {"SN_HandBrand", "HandBrandSN"},
        {"SN_HandType", "HandTypeID"},
        {"CY_DishDetail", "DishSN"},
        {"CY_DishType", "DishTypeSN"},
        {"Sys_Unit", "UnitName"},
        {"CK_Goods", "GoodsID"},
        {"CK_WaterPrice", "GoodsID"},
        {"CK_GoodsType", "GoodsTypeID"},
        {"HR_Employe", "EmployeSN"},
        {"HR_EmployeType", "EmployeTypeID"},
        {"HR_Department", "DepartmentSN"},
    };
    for (const auto& [table, key] : keys) {
        bool found = false;
        for (const ColumnInfo& column : db().columns(QLatin1String(table)))
            found = found || column.name == QLatin1String(key);
        EXPECT_TRUE(found) << table << "." << key;
    }
}

TEST_F(BranchSchemaTest, DemoIdentityIsFoundThroughTheCatalogue) {
    Query query(db());
    query.setSql(
        QStringLiteral(" Select Name From sysobjects Where  Name='Sys_System' And    XType='U'"));
    query.open();
    EXPECT_FALSE(query.isEmpty());
    query.setSql(QStringLiteral("Select HotelID,HotelTreeID,HotelName From Sys_System"));
    query.open();
    EXPECT_EQ(query.fieldText(QStringLiteral("HotelTreeID")), QStringLiteral("0001"));
    EXPECT_EQ(query.fieldText(QStringLiteral("HotelID")), QStringLiteral("01"));
    EXPECT_EQ(query.fieldText(QStringLiteral("HotelName")), QStringLiteral("青雁示范分店"));
}

TEST_F(BranchSchemaTest, CountCardsAreKeyedByGroupAndNumber) {
    insertCountCard(QStringLiteral("JiCiCard"), QStringLiteral("C1"));
    insertCountCard(QStringLiteral("ShiDuanCard"), QStringLiteral("C1"));
    EXPECT_THROW(insertCountCard(QStringLiteral("JiCiCard"), QStringLiteral("c1")), DatabaseError);
}

TEST_F(BranchSchemaTest, UnwrittenFlagsDefaultToNo) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From HY_Member"));
    query.open();
    query.append();
    query.setField(QStringLiteral("MemberID"), QStringLiteral("A1"));
    query.setField(QStringLiteral("CreateDate"), QStringLiteral("2026-01-05"));
    query.setField(QStringLiteral("CardEndDate"), query.fieldText(QStringLiteral("CreateDate")));
    query.post();
    query.open();
    ASSERT_TRUE(query.locate(QStringLiteral("MemberID"), QStringLiteral("a1")));
    EXPECT_EQ(query.fieldText(QStringLiteral("isTransfer")), QStringLiteral("n"));
    EXPECT_EQ(query.fieldText(QStringLiteral("CardEndDate")), QStringLiteral("2026-01-05"));
    EXPECT_THROW(
        {
            query.append();
            query.setField(QStringLiteral("MemberID"), QStringLiteral("a1"));
            query.post();
        },
        DatabaseError);
}

TEST_F(BranchSchemaTest, AcceptsTheImportsCleanUpAndReconciliationStatements) {
    const QStringList statements = {
        QStringLiteral(
            " Update HY_Member Set        MemberPassWord=''       ,RepeatPassWord='' Where  "
            "MemberPassWord is Null Or     MemberPassWord=''"),
        QStringLiteral(
            " Update HY_Member Set        Phone='' Where  Phone is Null Or     Phone='' Update "
            "HY_Member Set        PapertypeName='' Where  PapertypeName is Null Or     "
            "PapertypeName='' Update HY_Member Set QtdXfMoney=SumMoney Where  QtdXfMoney<=0"),
        QStringLiteral(
            " Update HY_JiCiCardDetail Set CalTimes=CanXFTimes Where  CardGroupID='JiCiCard' "
            "And    CalTimes<=0"),
        QStringLiteral(
            " Update HY_CardValueOpLog Set        CardGroupID='X' Where  CardGroupName='Y'"),
        QStringLiteral(
            " Update SN_RoomDetail Set        DiningRoomSN='X' Where  DiningRoomName='Y'"),
        QStringLiteral(" Update SN_HandBrand Set        HandTypeID='X' Where  HandTypeName='Y'"),
        QStringLiteral(" Update CY_DishDetail Set        DishTypeSN='X' Where  DishTypeName='Y'"),
        QStringLiteral(" Update CK_Goods Set        GoodsTypeID='X' Where  GoodsTypeName='Y'"),
        QStringLiteral(
            " Update HR_Employe Set        EmployeTypeID='X' Where  EmployeTypeName='Y'"),
        QStringLiteral(" Update HR_Employe Set        DepartmentSN='X' Where  DepartmentName='Y'"),
    };
    for (const QString& statement : statements)
        EXPECT_NO_THROW(db().execute(statement)) << statement.toStdString();
    const QStringList selects = {
        QStringLiteral(
            " Select DISTINCT CardTypeID,CardTypeName From HY_Member Union Select DISTINCT "
            "CardTypeID,CardTypeName From HY_JiCiCardDetail Union Select DISTINCT "
            "CardTypeID,CardTypeName From HY_JFAgioCardDetail"),
        QStringLiteral(" Select DISTINCT DiningRoomSN,DiningRoomName From SN_RoomDetail"),
        QStringLiteral(" Select DISTINCT UnitID From CY_DishDetail"),
        QStringLiteral(" Select DISTINCT UnitID From CK_Goods"),
        QStringLiteral(" Select DISTINCT DepartmentSN,DepartmentName From HR_Employe"),
        QStringLiteral(" Select * From HY_JiCiCardLog"),
    };
    Query query(db());
    for (const QString& select : selects) {
        query.setSql(select);
        EXPECT_NO_THROW(query.open()) << select.toStdString();
    }
}

} // namespace
