// The pure rules of the database layer: column classing, conversions, truncation, batch
// splitting, and the case-folded locate index.
#include "database/db_column_metadata.h"
#include "database/db_locate_index.h"
#include "database/db_sql_text.h"
#include "database/db_value_conversion.h"
#include "text/errors.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace kestrel;
using Kind = ColumnInfo::Kind;

namespace {

ColumnInfo column(Kind kind, const char* name = "F", int length = -1) {
    ColumnInfo info;
    info.name = QLatin1String(name);
    info.kind = kind;
    info.length = length;
    return info;
}

QString conversionError(Kind kind, const QString& text) {
    try {
        convertText(column(kind, "Age"), text, QLocale::c());
    } catch (const DatabaseError& error) {
        return error.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(ColumnClassing, SqliteDeclaredTypesFollowAffinityOrder) {
    struct Case {
        const char* declared;
        Kind kind;
        int length;
    };
    const Case cases[] = {
        {"varchar(20)", Kind::Text, 20},
        {"NVARCHAR( 8 )", Kind::Text, 8},
        {"char", Kind::Text, -1},
        {"text", Kind::Text, -1},
        {"INTEGER", Kind::Integer, -1},
        {"bigint", Kind::Integer, -1},
        {"numeric(18,2)", Kind::Number, -1},
        {"money", Kind::Number, -1},
        {"double precision", Kind::Number, -1},
        {"datetime", Kind::DateTime, -1},
        {"smalldatetime", Kind::DateTime, -1},
        {"bit", Kind::Boolean, -1},
        {"BOOLEAN", Kind::Boolean, -1},
        {"floating point", Kind::Integer, -1},
        {"", Kind::Other, -1},
        {"blob", Kind::Other, -1},
    };
    for (const Case& c : cases) {
        const ColumnInfo info = sqliteColumn(QStringLiteral("C"), QLatin1String(c.declared));
        EXPECT_EQ(info.kind, c.kind) << c.declared;
        EXPECT_EQ(info.length, c.length) << c.declared;
        EXPECT_FALSE(info.lengthInBytes) << c.declared;
    }
}

TEST(ColumnClassing, SqlServerVarcharCountsBytesOfItsCodePage) {
    const ColumnInfo varcharColumn =
        sqlServerColumn(QStringLiteral("C"), QStringLiteral("varchar"), 10, 936);
    EXPECT_EQ(varcharColumn.kind, Kind::Text);
    EXPECT_TRUE(varcharColumn.lengthInBytes);
    EXPECT_EQ(varcharColumn.codePage, 936);
    const ColumnInfo nvarcharColumn =
        sqlServerColumn(QStringLiteral("C"), QStringLiteral("nvarchar"), 10, 936);
    EXPECT_FALSE(nvarcharColumn.lengthInBytes);
    EXPECT_EQ(nvarcharColumn.length, 10);
    EXPECT_EQ(sqlServerColumn(QStringLiteral("C"), QStringLiteral("text"), 2147483647, 936).length,
              -1);
    EXPECT_EQ(sqlServerColumn(QStringLiteral("C"), QStringLiteral("varchar"), -1, 936).length, -1);
    EXPECT_EQ(sqlServerColumn(QStringLiteral("C"), QStringLiteral("money"), -1, 0).kind,
              Kind::Number);
    EXPECT_EQ(sqlServerColumn(QStringLiteral("C"), QStringLiteral("smallint"), -1, 0).kind,
              Kind::Integer);
    EXPECT_EQ(sqlServerColumn(QStringLiteral("C"), QStringLiteral("smalldatetime"), -1, 0).kind,
              Kind::DateTime);
    EXPECT_EQ(sqlServerColumn(QStringLiteral("C"), QStringLiteral("bit"), -1, 0).kind,
              Kind::Boolean);
    EXPECT_EQ(sqlServerColumn(QStringLiteral("C"), QStringLiteral("uniqueidentifier"), -1, 0).kind,
              Kind::Other);
}

TEST(Truncation, CodePage936CutsWholeCharactersOnly) {
    const QString name = QStringLiteral("青雁软件");
    EXPECT_EQ(truncateToBytes(name, 5, 936), QStringLiteral("青雁"));
    EXPECT_EQ(truncateToBytes(name, 8, 936), name);
    EXPECT_EQ(truncateToBytes(QStringLiteral("a青b"), 2, 936), QStringLiteral("a"));
    EXPECT_EQ(truncateToBytes(QStringLiteral("a青b"), 3, 936), QStringLiteral("a青"));
    EXPECT_EQ(truncateToBytes(QStringLiteral("abcdef"), 4, 936), QStringLiteral("abcd"));
    EXPECT_EQ(truncateToBytes(QStringLiteral("café"), 4, 1252), QStringLiteral("café"));
}

TEST(Truncation, CharactersNeverSplitASurrogatePair) {
    const QString text =
        QStringLiteral("a") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("b");
    EXPECT_EQ(truncateToCharacters(text, 2), QStringLiteral("a"));
    EXPECT_EQ(truncateToCharacters(text, 3), text.left(3));
    EXPECT_EQ(truncateToCharacters(QStringLiteral("青雁软件"), 3), QStringLiteral("青雁软"));
}

TEST(Conversion, EmptyTextIsNullExceptForTextColumns) {
    for (const Kind kind : {Kind::Integer, Kind::Number, Kind::DateTime, Kind::Boolean})
        EXPECT_TRUE(convertText(column(kind), QString(), QLocale::c()).isNull());
    const QVariant text = convertText(column(Kind::Text), QString(), QLocale::c());
    EXPECT_FALSE(text.toString().isNull()); // a null QString would be bound as NULL
    EXPECT_EQ(text.toString(), QString());
}

TEST(Conversion, FailuresNameTextAndField) {
    EXPECT_EQ(conversionError(Kind::Integer, QStringLiteral("12元")),
              QStringLiteral("'12元' is not a valid integer value for field 'Age'"));
    EXPECT_EQ(conversionError(Kind::Number, QStringLiteral("abc")),
              QStringLiteral("'abc' is not a valid floating point value for field 'Age'"));
    EXPECT_EQ(conversionError(Kind::DateTime, QStringLiteral("2026-02-30")),
              QStringLiteral("'2026-02-30' is not a valid date and time value for field 'Age'"));
    EXPECT_EQ(conversionError(Kind::Boolean, QStringLiteral("maybe")),
              QStringLiteral("'maybe' is not a valid boolean value for field 'Age'"));
    EXPECT_EQ(conversionError(Kind::Integer, QStringLiteral("%2")),
              QStringLiteral("'%2' is not a valid integer value for field 'Age'"));
}

TEST(Conversion, BooleansAcceptTrueFalseYesNoAndDigits) {
    for (const char* yes : {"True", "TRUE", "true", "y", "Y", "1"})
        EXPECT_EQ(convertText(column(Kind::Boolean), QLatin1String(yes), QLocale::c()),
                  QVariant(true))
            << yes;
    for (const char* no : {"False", "fALSE", "n", "N", "0"})
        EXPECT_EQ(convertText(column(Kind::Boolean), QLatin1String(no), QLocale::c()),
                  QVariant(false))
            << no;
}

TEST(Conversion, NumbersUseTheLocaleBothWays) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const QVariant stored = convertText(column(Kind::Number), QStringLiteral("12,5"), german);
    EXPECT_DOUBLE_EQ(stored.toDouble(), 12.5);
    EXPECT_EQ(valueText(stored, Kind::Number, german), QStringLiteral("12,5"));
    EXPECT_EQ(valueText(100.0, Kind::Number, QLocale::c()), QStringLiteral("100"));
    EXPECT_EQ(valueText(QVariant::fromValue<qlonglong>(1234567890123456789LL), Kind::Integer,
                        QLocale::c()),
              QStringLiteral("1234567890123456789"));
}

TEST(Conversion, StoredValuesReadBackAsText) {
    const QDateTime midnight(QDate(2026, 1, 5), QTime(0, 0));
    EXPECT_EQ(valueText(midnight, Kind::DateTime, QLocale::c()), QStringLiteral("2026-01-05"));
    EXPECT_EQ(
        valueText(QDateTime(QDate(2026, 1, 5), QTime(13, 4, 5)), Kind::DateTime, QLocale::c()),
        QStringLiteral("2026-01-05 13:04:05"));
    EXPECT_EQ(valueText(QStringLiteral("2026-01-05 00:00:00"), Kind::DateTime, QLocale::c()),
              QStringLiteral("2026-01-05"));
    EXPECT_EQ(valueText(QStringLiteral("2026-01-05 00:00:00"), Kind::Text, QLocale::c()),
              QStringLiteral("2026-01-05 00:00:00"));
    EXPECT_EQ(valueText(1, Kind::Boolean, QLocale::c()), QStringLiteral("True"));
    EXPECT_EQ(valueText(QVariant(QMetaType::fromType<double>()), Kind::Number, QLocale::c()),
              QString());
    EXPECT_EQ(bindableValue(midnight, Dialect::Sqlite),
              QVariant(QStringLiteral("2026-01-05 00:00:00")));
    EXPECT_EQ(bindableValue(midnight, Dialect::SqlServer), QVariant(midnight));
}

TEST(BatchText, SplitsBeforeEachStatementOutsideQuotes) {
    const QString batch = QStringLiteral(
        " Update HY_Member Set        Phone='' Where  Phone is Null Or     Phone='' Update "
        "HY_Member Set        PapertypeName='' Where  PapertypeName is Null Or     "
        "PapertypeName='' Update HY_Member Set QtdXfMoney=SumMoney Where  QtdXfMoney<=0");
    const QStringList statements = splitBatch(batch);
    ASSERT_EQ(statements.size(), 3);
    EXPECT_EQ(statements.at(0),
              QStringLiteral(
                  " Update HY_Member Set        Phone='' Where  Phone is Null Or     Phone='' "));
    EXPECT_TRUE(statements.at(2).startsWith(QStringLiteral("Update HY_Member Set QtdXfMoney")));

    EXPECT_EQ(splitBatch(QStringLiteral("Update T Set Memo='x Update y' Where A=1")).size(), 1);
    EXPECT_EQ(splitBatch(QStringLiteral("Insert Into T Values (1); Delete From T;")).size(), 2);
    EXPECT_EQ(splitBatch(QStringLiteral("Create Table C (A int References P (A) On Delete "
                                        "Cascade On Update Cascade)"))
                  .size(),
              1);
    EXPECT_EQ(splitBatch(QStringLiteral("Insert Into T (A) Select A From S")).size(), 1);
    EXPECT_EQ(splitBatch(QStringLiteral("With n(i) As (Select 1) Insert Into T Select i From n "
                                        "Delete From S"))
                  .size(),
              2);
}

TEST(BatchText, SelectedTableIsTheFirstFrom) {
    EXPECT_EQ(selectedTable(
                  QStringLiteral(" Select * From HY_JiCiCardDetail Where CardGroupID='JiCiCard'")),
              QStringLiteral("HY_JiCiCardDetail"));
    EXPECT_EQ(selectedTable(QStringLiteral("Select HotelID,HotelTreeID,HotelName From Sys_System")),
              QStringLiteral("Sys_System"));
    EXPECT_EQ(selectedTable(QStringLiteral("select Fromage from [My Table]")),
              QStringLiteral("My Table"));
    EXPECT_EQ(selectedTable(QStringLiteral("Select 'From x' As A From\n  T")), QStringLiteral("T"));
    EXPECT_TRUE(selectedTable(QStringLiteral("Select 1")).isEmpty());
}

TEST(LocateIndex, FindsTheFirstRowOfAValueWithoutRegardToCase) {
    LocateIndex index;
    index.add(QStringLiteral("Ab1"), 0);
    index.add(QStringLiteral("ÄRGER"), 1);
    index.add(QStringLiteral("aB1"), 2); // same folded value: the first row stays
    index.add(QStringLiteral("Ab"), 3);
    ASSERT_TRUE(index.find(QStringLiteral("AB1")));
    EXPECT_EQ(index.find(QStringLiteral("AB1"))->ordinal, 0);
    EXPECT_EQ(index.find(QStringLiteral("AB1"))->value, QStringLiteral("Ab1"));
    EXPECT_EQ(index.find(QStringLiteral("ärger"))->ordinal, 1);
    EXPECT_EQ(index.find(QStringLiteral("ab"))->ordinal, 3);
    EXPECT_FALSE(index.find(QStringLiteral("Ab1 ")));
    EXPECT_FALSE(index.find(QStringLiteral("A")));
}

TEST(LocateIndex, FilesAColumnAddedInBulkAsOneByOne) {
    LocateIndex bulk;
    LocateIndex single;
    single.add(QStringLiteral("before"), 0);
    bulk.add(QStringLiteral("before"), 0);
    bulk.beginBulk();
    for (int i = 1; i <= 30000; ++i) {
        // Every seventh value repeats an earlier one in another letter case.
        const QString value =
            i % 7 == 0 ? QStringLiteral("CARD%1").arg(i / 7) : QStringLiteral("card%1").arg(i);
        bulk.add(value, i);
        single.add(value, i);
    }
    bulk.add(QStringLiteral("BEFORE"), 30001);
    bulk.endBulk();
    EXPECT_EQ(bulk.size(), single.size());
    EXPECT_EQ(bulk.find(QStringLiteral("Before"))->ordinal, 0);
    for (int i = 1; i <= 30001; i += 13) {
        const QString value = QStringLiteral("Card%1").arg(i);
        const auto expected = single.find(value);
        const auto found = bulk.find(value);
        ASSERT_EQ(found.has_value(), expected.has_value()) << i;
        if (found) {
            EXPECT_EQ(found->ordinal, expected->ordinal) << i;
            EXPECT_EQ(found->value, expected->value) << i;
        }
    }
    bulk.add(QStringLiteral("after"), 30002); // one by one again
    EXPECT_EQ(bulk.find(QStringLiteral("AFTER"))->ordinal, 30002);
}

TEST(LocateIndex, KeepsEveryValueWhileGrowing) {
    LocateIndex index;
    for (int i = 0; i < 50000; ++i)
        index.add(QStringLiteral("Card%1x").arg(i), i);
    EXPECT_EQ(index.size(), 50000);
    for (int i = 0; i < 50000; i += 997)
        EXPECT_EQ(index.find(QStringLiteral("CARD%1X").arg(i))->ordinal, i);
    EXPECT_FALSE(index.find(QStringLiteral("Card50000x")));
}
