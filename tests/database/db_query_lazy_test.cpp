// Results too large to hold whole: read a page at a time, searched through the column index.
#include "db_test_support.h"

#include "database/db_sqlite_direct.h"
#include "database/db_value_conversion.h"
#include "text/errors.h"
#include "text/textrules.h"

#include <QSqlQuery>
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

// The column read on the worker thread while the connection serves other work in between.
TEST_F(LargeResultTest, AColumnReadAheadIsSearchedAsOneReadAtTheFirstLocate) {
    Query ahead(db());
    ahead.setSql(QStringLiteral("Select * From Member Where Grp = 'Even'"));
    ahead.open();
    ahead.prepareLocate(QStringLiteral("memberid"));
    db().execute(QStringLiteral("Create Table Other (A)")); // waits for the read
    Query plain(db());
    plain.setSql(ahead.sql());
    plain.open();
    for (const QString& key : {QStringLiteral("m4322"), QStringLiteral("M2"), QStringLiteral("M3"),
                               QStringLiteral("M5002"), QStringLiteral("m10")}) {
        const bool found = plain.locate(QStringLiteral("MemberID"), key);
        ASSERT_EQ(ahead.locate(QStringLiteral("MemberID"), key), found) << key.toStdString();
        if (found) {
            EXPECT_EQ(ahead.fieldText(QStringLiteral("Money")),
                      plain.fieldText(QStringLiteral("Money")));
        }
    }
    // Read ahead and never searched: closing waits for the read and drops it.
    ahead.prepareLocate(QStringLiteral("Grp"));
    ahead.close();
    ahead.open();
    EXPECT_TRUE(ahead.locate(QStringLiteral("GRP"), QStringLiteral("even")));
    ahead.prepareLocate(QStringLiteral("NoSuchColumn"));
    EXPECT_THROW(ahead.locate(QStringLiteral("NoSuchColumn"), QStringLiteral("x")), DatabaseError);
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

// A key column holding every storage class SQLite has, in a result too large to hold whole.
TEST_F(LargeResultTest, LocatesKeysOfEveryStorageClassWithoutRegardToCase) {
    db().execute(QStringLiteral("Create Table Mixed (Code, Money numeric(18,2))"));
    db().execute(QStringLiteral(
                     "With Recursive n(i) As (Select 1 Union All Select i + 1 From n Where i < %1) "
                     "Insert Into Mixed Select 'K' || i, i From n")
                     .arg(kRows));
    db().execute(QStringLiteral(
        "Insert Into Mixed Values (42, 1), (2.5, 2), (Null, 3), ('Ärger', 4), ('', 5), "
        "('东区ＡＢ', 6), (x'414243', 7)"));
    Query query(db());
    query.setSql(QStringLiteral("Select * From Mixed"));
    query.open();
    const auto moneyOf = [&](const QString& code) {
        return query.locate(QStringLiteral("Code"), code) ? query.fieldText(QStringLiteral("Money"))
                                                          : QStringLiteral("not found");
    };
    EXPECT_EQ(moneyOf(QStringLiteral("42")), QStringLiteral("1"));
    EXPECT_EQ(moneyOf(formatNumber(2.5, db().locale())), QStringLiteral("2"));
    EXPECT_EQ(moneyOf(QStringLiteral("äRGER")), QStringLiteral("4"));
    EXPECT_EQ(moneyOf(QString()), QStringLiteral("5")); // the empty text, not the NULL
    EXPECT_EQ(moneyOf(QStringLiteral("东区ａｂ")), QStringLiteral("6"));
    EXPECT_EQ(moneyOf(QStringLiteral("ABC")), QStringLiteral("7"));
    EXPECT_EQ(moneyOf(QStringLiteral("k4999")), QStringLiteral("4999"));
    EXPECT_EQ(moneyOf(QStringLiteral("K0")), QStringLiteral("not found"));
}

TEST(DirectColumnScan, GivesEachValueAsQtsDriverDoes) {
    SqliteFixture fixture;
    Database& db = fixture.db();
    db.execute(QStringLiteral("Create Table T (V)"));
    db.execute(
        QStringLiteral("Insert Into T Values ('Plain'), ('Ünïcode 东'), (''), (Null), "
                       "(-7), (9007199254740993), (0.1), (x'00ff'), ('a' || char(0) || 'b')"));
    const QString select = QStringLiteral("Select V From T Order By rowid");
    QSqlQuery qt(db.connection());
    qt.setForwardOnly(true);
    qt.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    ASSERT_TRUE(qt.exec(select));
    int rows = 0;
    const bool direct = scanFirstColumnDirectly(
        db.connection(), select, [&](QStringView text, const QVariant* other) {
            ++rows;
            ASSERT_TRUE(qt.next());
            const QVariant expected = qt.value(0);
            if (other) {
                EXPECT_EQ(other->metaType(), expected.metaType()) << "row " << rows;
                EXPECT_EQ(other->isNull(), expected.isNull()) << "row " << rows;
                EXPECT_EQ(*other, expected) << "row " << rows;
            } else {
                EXPECT_EQ(expected.metaType(), QMetaType::fromType<QString>()) << "row " << rows;
                EXPECT_EQ(text.toString(), expected.toString()) << "row " << rows;
            }
        });
    ASSERT_TRUE(direct) << "the Qt driver and this program share one SQLite on this platform";
    EXPECT_EQ(rows, 9);
    EXPECT_FALSE(qt.next());
}

TEST(DirectColumnScan, ReportsTheDatabasesMessage) {
    SqliteFixture fixture;
    try {
        scanFirstColumnDirectly(fixture.db().connection(), QStringLiteral("Select X From Nowhere"),
                                [](QStringView, const QVariant*) {});
        FAIL() << "a select of a missing table must fail";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("Nowhere")))
            << error.message().toStdString();
    }
}

// Bindings stay from row to row: whatever each row binds, each row stores its own values.
TEST(DirectInsertRows, EachRowStoresWhatItBound) {
    SqliteFixture fixture;
    Database& db = fixture.db();
    db.execute(QStringLiteral("Create Table T (A, B, C)"));
    const std::unique_ptr<DirectInsert> insert =
        DirectInsert::prepare(db.connection(), QStringLiteral("Insert Into T Values (?, ?, ?)"));
    ASSERT_TRUE(insert) << "the Qt driver and this program share one SQLite on this platform";
    const QString shared = QStringLiteral("常量 constant");
    const QString ascii = QStringLiteral("abc");
    const QList<QVariantList> rows = {
        {shared, ascii, 0.0},
        {shared, QVariant(QMetaType::fromType<QString>()), -0.0},
        {QString(shared), ascii, 1},
        {QStringLiteral("常量 constant"), QStringLiteral("abd"), QVariant(qlonglong(1))},
        {shared, ascii, QVariant()},
        {QVariant(), QString(), true},
    };
    for (const QVariantList& row : rows) {
        for (int i = 0; i < 3; ++i)
            insert->bind(i + 1, row.at(i));
        insert->exec();
    }
    QSqlQuery read(db.connection());
    ASSERT_TRUE(read.exec(QStringLiteral(
        "Select coalesce(A, 'NULL'), coalesce(B, 'NULL'), coalesce(typeof(C) || ':' || C, 'NULL') "
        "From T Order By rowid")));
    QStringList stored;
    while (read.next())
        stored.append(read.value(0).toString() + QLatin1Char('|') + read.value(1).toString() +
                      QLatin1Char('|') + read.value(2).toString());
    EXPECT_EQ(stored, QStringList({QStringLiteral("常量 constant|abc|real:0.0"),
                                   QStringLiteral("常量 constant|NULL|real:0.0"),
                                   QStringLiteral("常量 constant|abc|integer:1"),
                                   QStringLiteral("常量 constant|abd|integer:1"),
                                   QStringLiteral("常量 constant|abc|NULL"),
                                   QStringLiteral("NULL|NULL|integer:1")}));
}

// A date is bound in the form the Qt path binds it after bindableValue(), whatever its year.
TEST(DirectInsertRows, DatesAreStoredAsTheQtPathStoresThem) {
    SqliteFixture fixture;
    Database& db = fixture.db();
    db.execute(QStringLiteral("Create Table T (D)"));
    const std::unique_ptr<DirectInsert> insert =
        DirectInsert::prepare(db.connection(), QStringLiteral("Insert Into T Values (?)"));
    ASSERT_TRUE(insert);
    const QList<QDateTime> dates = {
        QDateTime(QDate(2026, 12, 9), QTime(0, 0)),
        QDateTime(QDate(1, 1, 1), QTime(23, 59, 58)),
        QDateTime(QDate(9999, 12, 31), QTime(7, 5, 3)),
        QDateTime(QDate(12345, 6, 7), QTime(1, 2)),
        QDateTime(QDate(-44, 3, 15), QTime(12, 0)),
        QDateTime(),
        QDateTime(QDate(2026, 12, 9), QTime(0, 0)),
    };
    QStringList expected;
    for (const QDateTime& date : dates) {
        insert->bind(1, QVariant(date));
        insert->exec();
        const QVariant bound = bindableValue(QVariant(date), Dialect::Sqlite);
        expected.append(bound.isNull() || bound.toString().isNull() ? QStringLiteral("NULL")
                                                                    : bound.toString());
    }
    QSqlQuery read(db.connection());
    ASSERT_TRUE(read.exec(QStringLiteral("Select coalesce(D, 'NULL') From T Order By rowid")));
    QStringList stored;
    while (read.next())
        stored.append(read.value(0).toString());
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(stored.first(), QStringLiteral("2026-12-09 00:00:00"));
}

} // namespace
