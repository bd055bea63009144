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

// Texts each column accepts: dates, numbers and flags in their own forms.
struct SampleTexts {
    QString text;
    QString number;
};

QString sampleText(const ColumnInfo& column, const SampleTexts& samples) {
    static const QString date = QStringLiteral("2026-01-05");
    static const QString flag = QStringLiteral("n");
    switch (column.kind) {
    case ColumnInfo::Kind::DateTime:
        return date;
    case ColumnInfo::Kind::Number:
    case ColumnInfo::Kind::Integer:
        return samples.number;
    default:
        return column.length == 1 ? flag : samples.text;
    }
}

bool isAutoIncrement(const ColumnInfo& column) {
    return column.name.endsWith(QLatin1String("LogID"));
}

void postRow(Query& query, const QList<ColumnInfo>& columns, const QString& key,
             const QString& keyText, const SampleTexts& samples) {
    query.append();
    for (const ColumnInfo& column : columns) {
        if (!isAutoIncrement(column))
            query.setField(column.name, column.name == key ? keyText : sampleText(column, samples));
    }
    query.post();
}

// The same rows through a plain prepared statement with every value bound as text: the speed
// the database layer is measured against.
class PlainInsert {
public:
    PlainInsert(Database& db, const QString& table, const QList<ColumnInfo>& columns)
        : m_query(db.connection()) {
        QStringList names;
        QStringList marks;
        for (const ColumnInfo& column : columns) {
            if (!isAutoIncrement(column)) {
                m_columns.append(column);
                names.append(column.name);
                marks.append(QStringLiteral("?"));
            }
        }
        m_query.prepare(
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    }
    void insert(const QString& key, const QString& keyText, const SampleTexts& samples) {
        for (int i = 0; i < m_columns.size(); ++i) {
            const ColumnInfo& column = m_columns.at(i);
            m_query.bindValue(i, column.name == key ? keyText : sampleText(column, samples));
        }
        if (!m_query.exec())
            std::printf("plain insert failed\n");
    }

private:
    QSqlQuery m_query;
    QList<ColumnInfo> m_columns;
};

constexpr int kCards = 65000;

void loadSchema(Database& db) {
    for (const QString& statement :
         test::scriptStatements(test::sourceDir() + QStringLiteral("/schema/branch.sql")))
        db.execute(statement);
}

void measurePlainPosts(const QString& folder) {
    test::SqliteFixture fixture(folder + QStringLiteral("/plain.db"));
    Database& db = fixture.db();
    loadSchema(db);
    PlainInsert members(db, QStringLiteral("HY_Member"), db.columns(QStringLiteral("HY_Member")));
    PlainInsert log(db, QStringLiteral("HY_CardValueOpLog"),
                    db.columns(QStringLiteral("HY_CardValueOpLog")));
    QElapsedTimer timer;
    timer.start();
    db.beginTransaction();
    for (int row = 0; row < kCards; ++row) {
        const QString key = QStringLiteral("M%1").arg(row);
        const SampleTexts samples{QStringLiteral("青雁") + key, QString::number(row % 1000)};
        members.insert(QStringLiteral("MemberID"), key, samples);
        log.insert(QStringLiteral("CardCode"), key, samples);
    }
    db.commit();
    std::printf("plain prepared inserts of the same rows, values bound as text: %lld ms\n",
                static_cast<long long>(timer.elapsed()));
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
    for (int row = 0; row < kCards; ++row) {
        const QString key = QStringLiteral("M%1").arg(row);
        const SampleTexts samples{QStringLiteral("青雁") + key, QString::number(row % 1000)};
        memberQuery.locate(QStringLiteral("MemberID"), key);
        postRow(memberQuery, members, QStringLiteral("MemberID"), key, samples);
        postRow(logQuery, log, QStringLiteral("CardCode"), key, samples);
    }
    db.commit();
    std::printf("65,000 member rows (%lld columns) and log rows (%lld columns) through Query, "
                "one transaction: %lld ms\n",
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
        hits += query.locate(QStringLiteral("MemberID"), QStringLiteral("card%1").arg(i * 13 + 1))
                    ? 1
                    : 0;
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
    measurePlainPosts(folder);
    measurePosts(folder);
    measureLocate(folder);
    return 0;
}
