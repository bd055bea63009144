// A row compiled once and written many times gives what writing it by names gives, errors
// included.
#include "database/connection.h"
#include "database/database.h"
#include "run/row_writer.h"
#include "sqlite_test_support.h"
#include "text/errors.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrel;

namespace {

const QStringList kSchema{
    QStringLiteral("CREATE TABLE Card (Code varchar(4), Amount real, Visits integer, "
                   "Since datetime, Copy text, Tree text, Note text)"),
    QStringLiteral("CREATE TABLE Log (Code text, Amount real, Visits integer, Note text)")};

struct Fixture {
    Fixture() {
        test::createSqliteFile(dir.filePath(QStringLiteral("branch.db")), kSchema);
        database =
            openBranchDatabase(test::writeSqliteSettings(dir.path(), QStringLiteral("branch.db")));
    }
    QStringList rows(const QString& select) {
        QSqlQuery query(database->connection());
        EXPECT_TRUE(query.exec(select));
        QStringList texts;
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < query.record().count(); ++i)
                values.append(query.isNull(i) ? QStringLiteral("NULL") : query.value(i).toString());
            texts.append(values.join(QLatin1Char('|')));
        }
        return texts;
    }

    QTemporaryDir dir;
    std::unique_ptr<Database> database;
};

FieldList cardRow() {
    FieldList row;
    row.set("Code", templateColumn(1))
        .set("Amount", templateColumn(2))
        .set("Visits", constantNumber(3))
        .set("Since", todayPlusDays(1))
        .set("Copy", sameRow(QStringLiteral("visits")))
        .set("Tree", groupNumber())
        .set("Note", sameRow(QStringLiteral("CODE")));
    return row;
}

FieldList logRow() {
    FieldList row;
    row.set("Code", mainRow(QStringLiteral("Code")))
        .set("Amount", mainRowNumber(QStringLiteral("Amount")))
        .set("Visits", mainRow(QStringLiteral("Visits")))
        .set("Note", mainRow(QStringLiteral("Since")));
    return row;
}

} // namespace

TEST(CompiledRow, WritesWhatWritingByNameWrites) {
    Fixture fixture;
    const BranchIdentity identity{QStringLiteral("QY"), QStringLiteral("001"),
                                  QStringLiteral("一店")};
    const QStringList templateRows[] = {{QStringLiteral("A1toolong"), QStringLiteral("12.5")},
                                        {QStringLiteral("B2"), QString()}};
    CompiledRow card(cardRow());
    CompiledRow log(logRow());
    for (const bool compiled : {false, true}) {
        Query main(*fixture.database);
        main.setSql(QStringLiteral("Select * From Card"));
        main.open();
        Query side(*fixture.database);
        side.setSql(QStringLiteral("Select * From Log"));
        side.open();
        for (const QStringList& cells : templateRows) {
            FieldContext context{identity, QDate(2026, 1, 31), QLocale::c(),
                                 [&cells](int column) { return cells.at(column - 1); }, nullptr};
            main.append();
            compiled ? card.write(main, context) : writeFields(main, cardRow(), context);
            main.post();
            context.mainRow = &main;
            side.append();
            compiled ? log.write(side, context) : writeFields(side, logRow(), context);
            side.post();
        }
    }
    const QStringList cards = fixture.rows(QStringLiteral("SELECT * FROM Card"));
    const QStringList logs = fixture.rows(QStringLiteral("SELECT * FROM Log"));
    ASSERT_EQ(cards.size(), 4);
    ASSERT_EQ(logs.size(), 4);
    EXPECT_EQ(cards.mid(0, 2), cards.mid(2, 2));
    EXPECT_EQ(logs.mid(0, 2), logs.mid(2, 2));
    EXPECT_EQ(cards.at(0), QStringLiteral("A1to|12.5|3|2026-02-01 00:00:00|3|QY|A1toolong"));
    EXPECT_EQ(logs.at(1), QStringLiteral("B2|NULL|3|2026-02-01"));
}

TEST(CompiledRow, ErrorsComeWhenTheFieldIsWrittenAsByName) {
    Fixture fixture;
    const BranchIdentity identity{QStringLiteral("QY"), QStringLiteral("001"),
                                  QStringLiteral("一店")};
    FieldList row;
    row.set("Code", constantText("X")).set("NoSuchColumn", constantText("y"));
    FieldList badNumber;
    badNumber.set("Visits", templateColumn(1));
    FieldList early;
    early.set("Code", mainRow(QStringLiteral("Code")));
    FieldList unset;
    unset.set("Code", sameRow(QStringLiteral("Note")));
    const QStringList cells{QStringLiteral("abc")};
    const FieldContext context{identity, QDate(2026, 1, 31), QLocale::c(),
                               [&cells](int column) { return cells.at(column - 1); }, nullptr};
    for (const FieldList* fields : {&row, &badNumber, &early, &unset}) {
        QString byName;
        QString compiled;
        Query query(*fixture.database);
        query.setSql(QStringLiteral("Select * From Card"));
        query.open();
        try {
            query.append();
            writeFields(query, *fields, context);
        } catch (const Error& error) {
            byName = error.message();
        }
        try {
            query.append();
            CompiledRow(*fields).write(query, context);
        } catch (const Error& error) {
            compiled = error.message();
        }
        EXPECT_FALSE(byName.isEmpty());
        EXPECT_EQ(byName, compiled);
    }
}
