// The connection-wide operations: batches, the catalogue test, transactions, metadata.
#include "db_test_support.h"

#include "text/errors.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::SqliteFixture;

namespace {

const QString kCatalogueTest =
    QStringLiteral(" Select Name From sysobjects Where  Name='Sys_System' And    XType='U'");

int count(Database& db, const QString& select) {
    QSqlQuery query(db.connection());
    query.exec(select);
    return query.next() ? query.value(0).toInt() : -1;
}

bool catalogueFindsSystemTable(Database& db) {
    Query query(db);
    query.setSql(kCatalogueTest);
    query.open();
    const bool found = !query.isEmpty();
    query.close();
    return found;
}

TEST(Batches, StatementsRunInOrder) {
    SqliteFixture fixture;
    Database& db = fixture.db();
    db.execute(QStringLiteral("Create Table T (A int, B int)"));
    db.execute(QStringLiteral("Insert Into T (A, B) Values (0, 0)"));
    db.execute(QStringLiteral(" Update T Set        A=5 Where  A=0 Update T Set B=A+1 Where  B=0"));
    EXPECT_EQ(count(db, QStringLiteral("Select B From T")), 6);

    db.executeBatch({QStringLiteral("Update T Set A=10"), QStringLiteral("Update T Set B=A*2")});
    EXPECT_EQ(count(db, QStringLiteral("Select B From T")), 20);

    Query query(db);
    query.setSql(QStringLiteral("Update T Set A=1 Update T Set B=A+100"));
    query.execSql();
    EXPECT_EQ(count(db, QStringLiteral("Select B From T")), 101);
}

TEST(Batches, AFailingStatementStopsTheBatchWithItsMessage) {
    SqliteFixture fixture;
    Database& db = fixture.db();
    db.execute(QStringLiteral("Create Table T (A int)"));
    try {
        db.execute(QStringLiteral(
            "Insert Into T Values (1) Update Nowhere Set A=1 Insert Into T Values (2)"));
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("Nowhere")))
            << error.message().toStdString();
    }
    EXPECT_EQ(count(db, QStringLiteral("Select Count(*) From T")), 1);
}

TEST(Catalogue, SystemTableTestWorksWithoutStoringAnything) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("branch.db"));
    {
        SqliteFixture fixture(file);
        EXPECT_FALSE(catalogueFindsSystemTable(fixture.db()));
        EXPECT_FALSE(fixture.db().tableExists(QStringLiteral("Sys_System")));
        fixture.db().execute(QStringLiteral("Create Table sys_system (HotelID varchar(4))"));
        fixture.db().execute(QStringLiteral("Create View Sys_View As Select * From sys_system"));
        EXPECT_TRUE(catalogueFindsSystemTable(fixture.db()));
        EXPECT_TRUE(fixture.db().tableExists(QStringLiteral("SYS_SYSTEM")));
        EXPECT_FALSE(fixture.db().tableExists(QStringLiteral("Sys_View")));
    }
    SqliteFixture reopened(file);
    EXPECT_EQ(count(reopened.db(), QStringLiteral("Select Count(*) From main.sqlite_master Where "
                                                  "name Like 'sysobjects'")),
              0);
    EXPECT_TRUE(catalogueFindsSystemTable(reopened.db()));
}

TEST(Catalogue, NumericIdentityReadsAsPlainNumber) {
    SqliteFixture fixture;
    fixture.db().execute(QStringLiteral("Create Table Sys_System (HotelID numeric, HotelTreeID "
                                        "varchar(10), HotelName varchar(50))"));
    fixture.db().execute(QStringLiteral("Insert Into Sys_System Values (12, '0001', '青雁')"));
    Query query(fixture.db());
    query.setSql(QStringLiteral("Select HotelID,HotelTreeID,HotelName From Sys_System"));
    query.open();
    EXPECT_EQ(query.fieldText(QStringLiteral("HotelID")), QStringLiteral("12"));
    EXPECT_EQ(query.fieldText(QStringLiteral("HotelTreeID")), QStringLiteral("0001"));
}

TEST(Transactions, RollbackLeavesNothingAndCommitKeeps) {
    SqliteFixture fixture;
    Database& db = fixture.db();
    db.execute(QStringLiteral("Create Table T (A varchar(5))"));
    Query query(db);
    query.setSql(QStringLiteral("Select * From T"));
    query.open();
    db.beginTransaction();
    EXPECT_TRUE(db.inTransaction());
    query.append();
    query.setField(QStringLiteral("A"), QStringLiteral("x"));
    query.post();
    db.execute(QStringLiteral("Insert Into T Values ('y')"));
    db.rollback();
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(count(db, QStringLiteral("Select Count(*) From T")), 0);

    db.beginTransaction();
    query.append();
    query.setField(QStringLiteral("A"), QStringLiteral("z"));
    query.post();
    db.commit();
    EXPECT_EQ(count(db, QStringLiteral("Select Count(*) From T")), 1);
    EXPECT_NO_THROW(db.rollback());
}

TEST(Metadata, ColumnsComeFromTheDatabaseAndFollowSchemaChanges) {
    SqliteFixture fixture;
    Database& db = fixture.db();
    db.execute(QStringLiteral("Create Table T (A varchar(5), B money)"));
    ASSERT_EQ(db.columns(QStringLiteral("t")).size(), 2);
    EXPECT_EQ(db.columns(QStringLiteral("T")).at(0).length, 5);
    EXPECT_EQ(db.columns(QStringLiteral("T")).at(1).kind, ColumnInfo::Kind::Number);
    db.execute(QStringLiteral("Alter Table T Add Column C datetime"));
    ASSERT_EQ(db.columns(QStringLiteral("T")).size(), 3);
    EXPECT_EQ(db.columns(QStringLiteral("T")).at(2).kind, ColumnInfo::Kind::DateTime);
    EXPECT_THROW(db.columns(QStringLiteral("Missing")), DatabaseError);
}

} // namespace
