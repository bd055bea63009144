// Posting and reading rows through Query on SQLite: conversions, truncation, defaults, dates.
#include "db_test_support.h"

#include "text/errors.h"

#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace kestrel;
using kestrel::test::SqliteFixture;

namespace {

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        db().execute(QStringLiteral(
            "Create Table Card (ID integer primary key autoincrement, Code varchar(6) COLLATE "
            "NOCASE, Name nvarchar(4), Memo text, Money numeric(18,2), Times int, Born datetime, "
            "Active bit, Flag varchar(1) Not Null Default 'n', Anything)"));
        db().setLocale(QLocale(QLocale::Chinese, QLocale::China));
    }

    Database& db() { return m_fixture.db(); }

    // The raw stored value of a column of the only row with that code.
    QVariant stored(const QString& column, const QString& code) {
        QSqlQuery query(db().connection());
        query.prepare(QStringLiteral("Select %1 From Card Where Code = ?").arg(column));
        query.addBindValue(code);
        query.exec();
        return query.next() ? query.value(0) : QVariant(QStringLiteral("<no row>"));
    }

    void postCard(Query& query, const QString& code,
                  std::initializer_list<std::pair<const char*, QString>> fields) {
        query.append();
        query.setField(QStringLiteral("Code"), code);
        for (const auto& [name, text] : fields)
            query.setField(QLatin1String(name), text);
        query.post();
    }

    QString postError(std::initializer_list<std::pair<const char*, QString>> fields) {
        Query query(db());
        query.setSql(QStringLiteral("Select * From Card"));
        query.open();
        try {
            postCard(query, QStringLiteral("E1"), fields);
        } catch (const DatabaseError& error) {
            return error.message();
        }
        return QStringLiteral("<posted>");
    }

    SqliteFixture m_fixture;
};

TEST_F(QueryTest, EmptyTextStoresNullInTypedColumnsAndEmptyTextInTextColumns) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    postCard(query, QStringLiteral("A1"),
             {{"Money", QString()},
              {"Times", QString()},
              {"Born", QString()},
              {"Active", QString()},
              {"Memo", QString()}});
    for (const char* column : {"Money", "Times", "Born", "Active"})
        EXPECT_TRUE(stored(QLatin1String(column), QStringLiteral("A1")).isNull()) << column;
    EXPECT_FALSE(stored(QStringLiteral("Memo"), QStringLiteral("A1")).isNull());
    EXPECT_EQ(query.fieldText(QStringLiteral("Money")), QString());
}

TEST_F(QueryTest, TextsThatDoNotConvertFailWithTheFieldsMessageAndInsertNothing) {
    EXPECT_EQ(postError({{"Times", QStringLiteral("3.5")}}),
              QStringLiteral("'3.5' is not a valid integer value for field 'Times'"));
    EXPECT_EQ(postError({{"Money", QStringLiteral("12元")}}),
              QStringLiteral("'12元' is not a valid floating point value for field 'Money'"));
    EXPECT_EQ(postError({{"Born", QStringLiteral("abc")}}),
              QStringLiteral("'abc' is not a valid date and time value for field 'Born'"));
    EXPECT_EQ(postError({{"Active", QStringLiteral("x")}}),
              QStringLiteral("'x' is not a valid boolean value for field 'Active'"));
    EXPECT_EQ(stored(QStringLiteral("Code"), QStringLiteral("E1")),
              QVariant(QStringLiteral("<no row>")));
}

TEST_F(QueryTest, TextIsCutToTheDeclaredLengthInCharacters) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    postCard(query, QStringLiteral("ABCDEFGH"),
             {{"Name", QStringLiteral("青雁软件示范")}, {"Memo", QString(500, QLatin1Char('m'))}});
    EXPECT_EQ(stored(QStringLiteral("Name"), QStringLiteral("ABCDEF")),
              QVariant(QStringLiteral("青雁软件")));
    EXPECT_EQ(stored(QStringLiteral("Memo"), QStringLiteral("ABCDEF")).toString().size(), 500);
    EXPECT_EQ(query.fieldText(QStringLiteral("Code")), QStringLiteral("ABCDEF"));
}

TEST_F(QueryTest, LocaleDatesAndIsoDatesStoreTheSameValue) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    postCard(query, QStringLiteral("D1"), {{"Born", QStringLiteral("2026/1/5")}});
    postCard(query, QStringLiteral("D2"), {{"Born", QStringLiteral("2026-01-05")}});
    db().setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    postCard(query, QStringLiteral("D3"), {{"Born", QStringLiteral("1/5/2026")}});
    postCard(query, QStringLiteral("D4"), {{"Born", QStringLiteral("2026-01-05 13:04:05")}});
    for (const char* code : {"D1", "D2", "D3"})
        EXPECT_EQ(stored(QStringLiteral("Born"), QLatin1String(code)),
                  QVariant(QStringLiteral("2026-01-05 00:00:00")))
            << code;
    EXPECT_EQ(stored(QStringLiteral("Born"), QStringLiteral("D4")),
              QVariant(QStringLiteral("2026-01-05 13:04:05")));
}

TEST_F(QueryTest, FieldsReadBackAsText) {
    db().execute(QStringLiteral("Insert Into Card (Code, Money, Times, Born, Active) Values "
                                "('R1', 12.5, 3, '2026-01-05 00:00:00', 1)"));
    db().execute(QStringLiteral("Insert Into Card (Code, Money, Born, Active) Values "
                                "('R2', 100, '2026-01-05 08:30:00', 0)"));
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    EXPECT_EQ(query.fieldText(QStringLiteral("money")), QStringLiteral("12.5"));
    EXPECT_EQ(query.fieldText(QStringLiteral("Times")), QStringLiteral("3"));
    EXPECT_EQ(query.fieldText(QStringLiteral("Born")), QStringLiteral("2026-01-05"));
    EXPECT_EQ(query.fieldText(QStringLiteral("Active")), QStringLiteral("True"));
    EXPECT_EQ(query.fieldText(QStringLiteral("Memo")), QString());
    query.next();
    EXPECT_EQ(query.fieldText(QStringLiteral("Money")), QStringLiteral("100"));
    EXPECT_EQ(query.fieldText(QStringLiteral("Born")), QStringLiteral("2026-01-05 08:30:00"));
    EXPECT_EQ(query.fieldText(QStringLiteral("Active")), QStringLiteral("False"));
    EXPECT_THROW(query.fieldText(QStringLiteral("Missing")), DatabaseError);
}

TEST_F(QueryTest, NewRowReadsBackItsConvertedValuesBeforeAndAfterPost) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    query.append();
    query.setField(QStringLiteral("Code"), QStringLiteral("N1"));
    query.setField(QStringLiteral("Born"), QStringLiteral("2026/1/5"));
    query.setField(QStringLiteral("Money"), QStringLiteral("300.50"));
    query.setFieldNumber(QStringLiteral("Times"), 7);
    EXPECT_EQ(query.fieldText(QStringLiteral("Born")), QStringLiteral("2026-01-05"));
    query.setField(QStringLiteral("Memo"), query.fieldText(QStringLiteral("Born")));
    query.post();
    EXPECT_EQ(query.fieldText(QStringLiteral("Money")), QStringLiteral("300.5"));
    EXPECT_EQ(query.fieldText(QStringLiteral("Times")), QStringLiteral("7"));
    EXPECT_EQ(stored(QStringLiteral("Memo"), QStringLiteral("N1")),
              QVariant(QStringLiteral("2026-01-05")));
    EXPECT_EQ(stored(QStringLiteral("Times"), QStringLiteral("N1")).toInt(), 7);
    EXPECT_EQ(query.recNo(), 1);
    EXPECT_FALSE(query.isEmpty());
}

TEST_F(QueryTest, UnwrittenColumnsKeepTheirDefaultsAndAutoincrementWorks) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    postCard(query, QStringLiteral("F1"), {});
    postCard(query, QStringLiteral("F2"), {{"Flag", QStringLiteral("y")}});
    EXPECT_EQ(stored(QStringLiteral("Flag"), QStringLiteral("F1")), QVariant(QStringLiteral("n")));
    EXPECT_EQ(stored(QStringLiteral("Flag"), QStringLiteral("F2")), QVariant(QStringLiteral("y")));
    EXPECT_EQ(stored(QStringLiteral("ID"), QStringLiteral("F1")).toInt(), 1);
    EXPECT_EQ(stored(QStringLiteral("ID"), QStringLiteral("F2")).toInt(), 2);
    query.close();
    query.open();
    EXPECT_EQ(query.fieldText(QStringLiteral("Flag")), QStringLiteral("n"));
}

// New rows reuse the lists of rows posted before: what an earlier row wrote must not show
// through in a later row that leaves the column alone, neither read back nor stored.
TEST_F(QueryTest, ColumnsALaterRowLeavesAloneReadAndStoreNothingOfEarlierRows) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    postCard(query, QStringLiteral("R1"),
             {{"Memo", QStringLiteral("first")}, {"Flag", QStringLiteral("y")}});
    postCard(query, QStringLiteral("R2"), {{"Name", QStringLiteral("二")}});
    query.append();
    query.setField(QStringLiteral("Code"), QStringLiteral("R3"));
    EXPECT_TRUE(query.fieldText(QStringLiteral("Memo")).isEmpty());
    EXPECT_TRUE(query.fieldText(QStringLiteral("Name")).isEmpty());
    query.post();
    EXPECT_TRUE(query.fieldText(QStringLiteral("Memo")).isEmpty());
    EXPECT_TRUE(stored(QStringLiteral("Memo"), QStringLiteral("R3")).isNull());
    EXPECT_EQ(stored(QStringLiteral("Flag"), QStringLiteral("R3")), QVariant(QStringLiteral("n")));
    EXPECT_EQ(stored(QStringLiteral("Memo"), QStringLiteral("R1")),
              QVariant(QStringLiteral("first")));
    EXPECT_TRUE(query.locate(QStringLiteral("Code"), QStringLiteral("r1")));
    EXPECT_EQ(query.fieldText(QStringLiteral("Memo")), QStringLiteral("first"));
}

TEST_F(QueryTest, UntypedColumnsTakeTheTextUnchanged) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    postCard(query, QStringLiteral("U1"), {{"Anything", QStringLiteral("  x ")}});
    EXPECT_EQ(stored(QStringLiteral("Anything"), QStringLiteral("U1")),
              QVariant(QStringLiteral("  x ")));
}

TEST_F(QueryTest, FieldsMustBelongToTheTableAndPostNeedsANewRow) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    EXPECT_THROW(query.setField(QStringLiteral("Code"), QStringLiteral("x")), DatabaseError);
    EXPECT_THROW(query.post(), DatabaseError);
    query.append();
    try {
        query.setField(QStringLiteral("Nope"), QStringLiteral("x"));
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Field 'Nope' not found"));
    }
}

TEST_F(QueryTest, ConstraintViolationsCarryTheDatabaseMessage) {
    db().execute(QStringLiteral("Create Table K (Code varchar(5) Primary Key)"));
    Query query(db());
    query.setSql(QStringLiteral("Select * From K"));
    query.open();
    query.append();
    query.setField(QStringLiteral("Code"), QStringLiteral("a"));
    query.post();
    query.append();
    query.setField(QStringLiteral("Code"), QStringLiteral("a"));
    try {
        query.post();
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("UNIQUE")))
            << error.message().toStdString();
    }
}

TEST_F(QueryTest, SelectsWalkTheirRowsInOrder) {
    db().execute(QStringLiteral("Insert Into Card (Code) Values ('a')"));
    db().execute(QStringLiteral("Insert Into Card (Code) Values ('b')"));
    Query query(db());
    query.setSql(QStringLiteral(" Select DISTINCT Code From Card Order By Code"));
    query.open();
    EXPECT_FALSE(query.eof());
    EXPECT_EQ(query.recNo(), 1);
    EXPECT_EQ(query.fieldText(QStringLiteral("CODE")), QStringLiteral("a"));
    query.next();
    EXPECT_EQ(query.recNo(), 2);
    EXPECT_EQ(query.fieldText(QStringLiteral("Code")), QStringLiteral("b"));
    EXPECT_FALSE(query.eof());
    query.next();
    EXPECT_TRUE(query.eof());

    query.setSql(QStringLiteral("Select * From Card Where Code='none'"));
    EXPECT_FALSE(query.isOpen());
    query.open();
    EXPECT_TRUE(query.isEmpty());
    EXPECT_TRUE(query.eof());
    EXPECT_EQ(query.fieldText(QStringLiteral("Code")), QString());
}

TEST_F(QueryTest, LocateIgnoresLetterCaseAndFindsRowsPostedAfterOpen) {
    db().execute(QStringLiteral("Insert Into Card (Code, Name) Values ('Ab12', 'first')"));
    db().execute(QStringLiteral("Insert Into Card (Code, Name) Values ('cd34', 'second')"));
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    ASSERT_TRUE(query.locate(QStringLiteral("Code"), QStringLiteral("CD34")));
    EXPECT_EQ(query.recNo(), 2);
    EXPECT_EQ(query.fieldText(QStringLiteral("Name")), QStringLiteral("second"));
    EXPECT_FALSE(query.locate(QStringLiteral("Code"), QStringLiteral("Ab1")));
    EXPECT_EQ(query.recNo(), 2); // a miss leaves the current row
    EXPECT_FALSE(query.locate(QStringLiteral("Code"), QStringLiteral("eF56")));
    postCard(query, QStringLiteral("EF56"), {{"Name", QStringLiteral("new")}});
    postCard(query, QStringLiteral("gh78"), {{"Name", QStringLiteral("last")}});
    ASSERT_TRUE(query.locate(QStringLiteral("code"), QStringLiteral("ef56")));
    EXPECT_EQ(query.recNo(), 3);
    EXPECT_EQ(query.fieldText(QStringLiteral("Name")), QStringLiteral("new"));
    ASSERT_TRUE(query.locate(QStringLiteral("Code"), QStringLiteral("ab12")));
    EXPECT_EQ(query.fieldText(QStringLiteral("Name")), QStringLiteral("first"));
    EXPECT_TRUE(query.locate(QStringLiteral("Name"), QStringLiteral("LAST")));
    EXPECT_EQ(query.recNo(), 4);
}

} // namespace
