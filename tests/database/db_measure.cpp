// Measures the database layer at the sizes of a large branch: 65,000 card imports (a member row
// and a log row each) in one transaction, and locating in a table of a million members. Prints
// the times; asserts nothing about them. Usage: database_measure [folder for the database file]
#include "db_test_support.h"
#include "test_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

using namespace kestrel;

namespace {

// A text each column accepts: dates, numbers and flags in their own forms.
QString sampleText(const ColumnInfo& column, int row) {
    switch (column.kind) {
    case ColumnInfo::Kind::DateTime:
        return QStringLiteral("2026-01-05");
    case ColumnInfo::Kind::Number:
    case ColumnInfo::Kind::Integer:
        return QString::number(row % 1000);
    default:
        return column.length == 1 ? QStringLiteral("n") : QStringLiteral("青雁%1").arg(row);
    }
}

void postRow(Query& query, const QList<ColumnInfo>& columns, const QString& key, const QString& keyText,
             int row) {
    query.append();
    for (const ColumnInfo& column : columns) {
        if (column.name.endsWith(QLatin1String("LogID")))
            continue;
        query.setField(column.name, column.name == key ? keyText : sampleText(column, row));
    }
    query.post();
}

void loadSchema(Database& db) {
    for (const QString& statement :
         test::scriptStatements(test::sourceDir() + QStringLiteral("/schema/branch.sql")))
        db.execute(statement);
}

void measurePosts(const QString& folder) {
    test::SqliteFixture fixture(folder + QStringLiteral("/posts.db"));
    Database& db = fixture.db();
    loadSchema(db);
    const QList<ColumnInfo> members = db.columns(QStringLiteral("HY_Member"));
    const QList<ColumnInfo> log = db.columns(QStringLiteral("HY_CardValueOpLog"));
    Query memberQuery(db);
    memberQuery.setSql(QStringLiteral("Select * From HY_Member"));
    memberQuery.open();
    Query logQuery(db);
    logQuery.setSql(QStringLiteral("Select * From HY_CardValueOpLog"));
    logQuery.open();

    QElapsedTimer timer;
    timer.start();
    db.beginTransaction();
    for (int row = 0; row < 65000; ++row) {
        const QString key = QStringLiteral("M%1").arg(row);
        memberQuery.locate(QStringLiteral("MemberID"), key);
        postRow(memberQuery, members, QStringLiteral("MemberID"), key, row);
        postRow(logQuery, log, QStringLiteral("CardCode"), key, row);
    }
    db.commit();
    std::printf("65,000 member rows (%lld columns) and log rows (%lld columns), one transaction: "
                "%lld ms\n",
                static_cast<long long>(members.size()), static_cast<long long>(log.size() - 1),
                static_cast<long long>(timer.elapsed()));
}

void measureLocate(const QString& folder) {
    test::SqliteFixture fixture(folder + QStringLiteral("/locate.db"));
    Database& db = fixture.db();
    loadSchema(db);
    db.execute(QStringLiteral(
        "With Recursive n(i) As (Select 1 Union All Select i + 1 From n Where i < 1000000) "
        "Insert Into HY_Member (MemberID, MemberName, SumMoney, CreateDate, isTransfer) "
        "Select 'Card' || i, 'Member ' || i, i % 500, '2026-01-05 00:00:00', 'n' From n"));

    Query query(db);
    query.setSql(QStringLiteral("Select * From HY_Member"));
    QElapsedTimer timer;
    timer.start();
    query.open();
    const qint64 openMs = timer.restart();
    const bool first = query.locate(QStringLiteral("MemberID"), QStringLiteral("CARD999999"));
    const qint64 indexMs = timer.restart();
    int hits = 0;
    for (int i = 0; i < 100000; ++i)
        hits += query.locate(QStringLiteral("MemberID"), QStringLiteral("card%1").arg(i * 13 + 1)) ? 1 : 0;
    const qint64 locateMs = timer.restart();
    const QString name = query.fieldText(QStringLiteral("MemberName"));
    const qint64 readMs = timer.elapsed();
    std::printf("1,000,000 members: open %lld ms; first locate with the index build %lld ms (%s); "
                "100,000 locates %lld ms (%d hits); a located row's field %lld ms (%s)\n",
                static_cast<long long>(openMs), static_cast<long long>(indexMs),
                first ? "found" : "missed", static_cast<long long>(locateMs), hits,
                static_cast<long long>(readMs), qPrintable(name));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    measurePosts(folder);
    measureLocate(folder);
    return 0;
}
