// Rows posted while inserts run on a second thread: the same rows as posted one by one, the
// connection shared safely, and a failure reported and cleaned up.
#include "db_test_support.h"

#include "text/errors.h"

#include <QSqlQuery>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using namespace kestrel;
using kestrel::test::SqliteFixture;

namespace {

constexpr int kRows = 5000; // several of the thread's batches

class BackgroundInsertTest : public ::testing::Test {
protected:
    void SetUp() override {
        db().execute(QStringLiteral(
            "Create Table Card (Code varchar(20) Unique, Name varchar(20), Money numeric(18,2), "
            "Kind varchar(10), Note varchar(10))"));
    }
    Database& db() { return m_fixture.db(); }

    // The card table's query, open, inside a transaction whose inserts run in the background.
    std::unique_ptr<Query> openInBackground() {
        auto query = std::make_unique<Query>(db());
        query->setSql(QStringLiteral("Select * From Card"));
        query->open();
        db().beginTransaction();
        db().beginBackgroundInserts();
        return query;
    }

    // The values of row i: a unique code, texts that change, repeat or go NULL, a constant.
    static QStringList rowValues(int i, const QString& code) {
        return {code, i % 3 == 0 ? QString() : QStringLiteral("会员%1").arg(i / 2),
                QString::number(i % 7 == 0 ? 0 : i * 0.25), QStringLiteral("储值"),
                i % 5 == 0 ? QStringLiteral("n%1").arg(i) : QStringLiteral("same")};
    }

    // Posts the rows through one query; gives the first failure, if any.
    std::optional<QString> post(Query& query, const QList<QStringList>& rows) {
        static const QStringList columns = {QStringLiteral("Code"), QStringLiteral("Name"),
                                            QStringLiteral("Money"), QStringLiteral("Kind"),
                                            QStringLiteral("Note")};
        try {
            for (const QStringList& row : rows) {
                query.append();
                for (qsizetype c = 0; c < columns.size(); ++c) {
                    if (!row.at(c).isNull())
                        query.setField(columns.at(c), row.at(c));
                }
                query.post();
            }
        } catch (const DatabaseError& error) {
            return error.message();
        }
        return std::nullopt;
    }

    QList<QStringList> stored() {
        QSqlQuery read(db().connection());
        EXPECT_TRUE(read.exec(
            QStringLiteral("Select Code, Name, Money, Kind, Note From Card Order By rowid")));
        QList<QStringList> rows;
        while (read.next()) {
            QStringList row;
            for (int c = 0; c < 5; ++c)
                row.append(read.value(c).isNull() ? QString() : read.value(c).toString());
            rows.append(row);
        }
        return rows;
    }

    static QList<QStringList> numberedRows(int first, int count) {
        QList<QStringList> rows;
        for (int i = first; i < first + count; ++i)
            rows.append(rowValues(i, QStringLiteral("C%1").arg(i)));
        return rows;
    }

    SqliteFixture m_fixture;
};

TEST_F(BackgroundInsertTest, StoresWhatPostingOneByOneStores) {
    const QList<QStringList> rows = numberedRows(1, kRows);
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    post(query, rows.mid(0, 10)); // before: run as called
    db().beginTransaction();
    db().beginBackgroundInserts();
    EXPECT_EQ(post(query, rows.mid(10)), std::nullopt);
    // The main row just posted reads back without waiting for the database.
    EXPECT_EQ(query.fieldText(QStringLiteral("Code")), rows.last().first());
    db().finishBackgroundInserts();
    db().commit();

    QList<QStringList> expected = rows;
    for (QStringList& row : expected) // numbers come back as the database keeps them
        row[2] = QString::number(row.at(2).toDouble());
    QList<QStringList> actual = stored();
    for (QStringList& row : actual)
        row[2] = QString::number(row.at(2).toDouble());
    EXPECT_EQ(actual, expected);
}

TEST_F(BackgroundInsertTest, AnyOtherUseOfTheConnectionSeesEveryRowPostedBefore) {
    const std::unique_ptr<Query> opened = openInBackground();
    Query& query = *opened;
    ASSERT_EQ(post(query, numberedRows(1, kRows)), std::nullopt);
    QSqlQuery count(db().connection());
    ASSERT_TRUE(count.exec(QStringLiteral("Select Count(*) From Card")) && count.next());
    EXPECT_EQ(count.value(0).toInt(), kRows);
    count.finish();
    // Posting goes on in the background after the read.
    ASSERT_EQ(post(query, numberedRows(kRows + 1, 100)), std::nullopt);
    db().finishBackgroundInserts();
    db().commit();
    EXPECT_EQ(stored().size(), kRows + 100);
}

// A failure surfaces at a later post when the thread is behind, or only when the rest is
// waited for: a few rows make one batch, which runs only then.
class BackgroundFailureTest : public BackgroundInsertTest,
                              public ::testing::WithParamInterface<int> {};

TEST_P(BackgroundFailureTest, IsThrownOnceAndLeavesNoStaleBinding) {
    Query query(db());
    query.setSql(QStringLiteral("Select * From Card"));
    query.open();
    const int count = GetParam();
    QList<QStringList> rows = numberedRows(1, count);
    rows[count / 2][0] = rows.at(7).first(); // a duplicate code half way

    db().beginTransaction();
    db().beginBackgroundInserts();
    std::optional<QString> failure = post(query, rows); // may surface at a later post ...
    if (!failure) {
        try {
            db().finishBackgroundInserts(); // ... or when the rest is waited for
        } catch (const DatabaseError& error) {
            failure = error.message();
        }
    }
    ASSERT_TRUE(failure) << "the duplicate went unreported";
    EXPECT_TRUE(failure->contains(QStringLiteral("UNIQUE"))) << failure->toStdString();
    db().rollback();
    EXPECT_TRUE(stored().isEmpty());

    // The same statement again, as the next run prepares it: every value is bound anew, the
    // constants too, although the rows before the failure had bound them already.
    query.open(); // drops the row whose post failed
    db().beginTransaction();
    db().beginBackgroundInserts();
    const QList<QStringList> again = numberedRows(1, 300);
    EXPECT_EQ(post(query, again), std::nullopt);
    db().finishBackgroundInserts();
    db().commit();
    const QList<QStringList> actual = stored();
    ASSERT_EQ(actual.size(), again.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual.at(i).at(3), QStringLiteral("储值")) << "row " << i;
        EXPECT_EQ(actual.at(i).at(4), again.at(i).at(4)) << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(RowCounts, BackgroundFailureTest, ::testing::Values(50, kRows));

TEST_F(BackgroundInsertTest, RollbackDropsRowsNotYetInserted) {
    const std::unique_ptr<Query> opened = openInBackground();
    Query& query = *opened;
    ASSERT_EQ(post(query, numberedRows(1, kRows)), std::nullopt);
    db().rollback(); // without finishing: what is still queued is dropped or undone
    EXPECT_TRUE(stored().isEmpty());
    // Posting outside the background runs as called and stores its row at once.
    ASSERT_EQ(post(query, numberedRows(1, 1)), std::nullopt);
    EXPECT_EQ(stored().size(), 1);
}

} // namespace
