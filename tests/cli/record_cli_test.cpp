// kestrel-import's records (--record, --summary) and its check of the database against the
// templates (--verify), on the demo branch database with the sample templates.
#include "cli_fixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* stream) {
    *stream << '"' << text.toStdString() << '"';
}

namespace kestrel::test {
namespace {

// The key column of each category table.
const QMap<QString, QString> kCategoryKeys = {
    {QStringLiteral("HY_CardType"), QStringLiteral("CardTypeID")},
    {QStringLiteral("CY_DiningRoom"), QStringLiteral("DiningRoomSN")},
    {QStringLiteral("SN_HandType"), QStringLiteral("HandTypeID")},
    {QStringLiteral("CY_DishType"), QStringLiteral("DishTypeSN")},
    {QStringLiteral("Sys_Unit"), QStringLiteral("UnitID")},
    {QStringLiteral("CK_GoodsType"), QStringLiteral("GoodsTypeID")},
    {QStringLiteral("HR_EmployeType"), QStringLiteral("EmployeTypeID")},
    {QStringLiteral("HR_Department"), QStringLiteral("DepartmentSN")},
};

// Every table's rows and every category table's keys.
struct Snapshot {
    QMap<QString, qint64> rows;
    QMap<QString, QSet<QString>> keys;
};

class RecordCli : public CliFixture {
protected:
    // The summary and verify lines are read in English, whatever the locale the tests run in.
    ProcessResult runInDir(const QStringList& arguments) const {
        return runImport(QStringList{QStringLiteral("--dir"), dir()} + arguments, {},
                         QStringLiteral("C.UTF-8"));
    }

    QStringList column(const QString& select) const {
        QStringList values;
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            connection.setDatabaseName(databasePath());
            EXPECT_TRUE(connection.open());
            QSqlQuery query(connection);
            EXPECT_TRUE(query.exec(select)) << select.toStdString();
            while (query.next())
                values.append(query.value(0).toString());
        }
        QSqlDatabase::removeDatabase(name);
        return values;
    }

    Snapshot snapshot() const {
        Snapshot taken;
        for (const QString& table :
             column(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name "
                                   "NOT LIKE 'sqlite%'")))
            taken.rows[table] = count(QStringLiteral("SELECT COUNT(*) FROM ") + table);
        for (auto it = kCategoryKeys.begin(); it != kCategoryKeys.end(); ++it) {
            const QStringList keys =
                column(QStringLiteral("SELECT %1 FROM %2").arg(it.value(), it.key()));
            taken.keys[it.key()] = QSet<QString>(keys.begin(), keys.end());
        }
        return taken;
    }

    // Runs one import with --record and --summary; gives its records.
    QJsonArray runRecorded(const QString& import, int expectedStatus = 0) {
        const QString file = dir() + QStringLiteral("/record.json");
        const ProcessResult result =
            runInDir({QStringLiteral("--record"), file, QStringLiteral("--summary"), import});
        EXPECT_EQ(result.exitCode, expectedStatus) << result.err.toStdString();
        QFile json(file);
        EXPECT_TRUE(json.open(QIODevice::ReadOnly));
        const QJsonArray records = QJsonDocument::fromJson(json.readAll()).array();
        lastOut = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return records;
    }

    QStringList lastOut;
};

int number(const QJsonObject& record, const char* key) {
    return record.value(QLatin1String(key)).toInt();
}

// What the records say each table gained: rows written, and categories created.
QMap<QString, qint64> recordedGains(const QJsonArray& records) {
    QMap<QString, qint64> gains;
    for (const QJsonValue& value : records) {
        const QJsonObject record = value.toObject();
        for (const QJsonValue& table : record.value(QStringLiteral("writtenTables")).toArray())
            gains[table.toString()] += number(record, "rowsWritten");
        for (const QJsonValue& categories : record.value(QStringLiteral("categories")).toArray()) {
            const QJsonObject object = categories.toObject();
            gains[object.value(QStringLiteral("table")).toString()] +=
                object.value(QStringLiteral("created")).toArray().size();
        }
    }
    return gains;
}

QMap<QString, QSet<QString>> createdKeys(const QJsonArray& records) {
    QMap<QString, QSet<QString>> keys;
    for (const QJsonValue& value : records) {
        for (const QJsonValue& categories :
             value.toObject().value(QStringLiteral("categories")).toArray()) {
            const QJsonObject object = categories.toObject();
            QSet<QString>& table = keys[object.value(QStringLiteral("table")).toString()];
            for (const QJsonValue& created : object.value(QStringLiteral("created")).toArray())
                table.insert(created.toObject().value(QStringLiteral("key")).toString());
        }
    }
    return keys;
}

TEST_F(RecordCli, EveryDemoImportRecordsWhatTheDatabaseGainedAndASecondRunWritesNothing) {
    const QStringList imports = {QStringLiteral("stored-value"),  QStringLiteral("points"),
                                 QStringLiteral("treatment"),     QStringLiteral("time-period"),
                                 QStringLiteral("rooms-lockers"), QStringLiteral("items-goods"),
                                 QStringLiteral("employees")};
    for (const QString& import : imports) {
        SCOPED_TRACE(import.toStdString());
        const Snapshot before = snapshot();
        const QJsonArray records = runRecorded(import);
        const Snapshot after = snapshot();
        ASSERT_FALSE(records.isEmpty());
        // Each completion message is followed by its block's summary line.
        ASSERT_EQ(lastOut.size(), 2 * records.size());
        for (qsizetype block = 0; block < records.size(); ++block)
            EXPECT_TRUE(
                lastOut.at(2 * block + 1)
                    .startsWith(
                        import +
                        QStringLiteral(" %1/%2: completed").arg(block + 1).arg(records.size())))
                << lastOut.at(2 * block + 1).toStdString();

        const QMap<QString, qint64> gains = recordedGains(records);
        for (auto it = after.rows.begin(); it != after.rows.end(); ++it)
            EXPECT_EQ(it.value() - before.rows.value(it.key()), gains.value(it.key()))
                << it.key().toStdString();
        const QMap<QString, QSet<QString>> created = createdKeys(records);
        for (auto it = after.keys.begin(); it != after.keys.end(); ++it)
            EXPECT_EQ(it.value() - before.keys.value(it.key()), created.value(it.key()))
                << it.key().toStdString();
        for (const QJsonValue& value : records) {
            const QJsonObject record = value.toObject();
            EXPECT_EQ(record.value(QStringLiteral("outcome")).toString(),
                      QStringLiteral("completed"));
            EXPECT_GT(number(record, "rowsWritten"), 0);
            EXPECT_EQ(number(record, "rowsLeftOut") + number(record, "rowsWritten"),
                      number(record, "rowsChecked"));
        }

        const QJsonArray again = runRecorded(import);
        EXPECT_EQ(snapshot().rows, after.rows);
        for (const QJsonValue& value : again) {
            const QJsonObject record = value.toObject();
            EXPECT_EQ(number(record, "rowsWritten"), 0);
            EXPECT_EQ(number(record, "rowsLeftOut"), number(record, "rowsChecked"));
            EXPECT_EQ(record.value(QStringLiteral("keysLeftOut")).toArray().size(),
                      number(record, "rowsChecked"));
        }
        for (const QSet<QString>& keys : createdKeys(again))
            EXPECT_TRUE(keys.isEmpty());
    }
}

TEST_F(RecordCli, AFailedBlockIsRecordedWithNothingWritten) {
    execute(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON HY_Member WHEN "
                           "NEW.MemberID = '0000100003' BEGIN SELECT RAISE(ABORT, 'refused'); "
                           "END"));
    const QJsonArray records = runRecorded(QStringLiteral("stored-value"), 2);
    ASSERT_EQ(records.size(), 1);
    const QJsonObject record = records.at(0).toObject();
    EXPECT_EQ(record.value(QStringLiteral("outcome")).toString(), QStringLiteral("error"));
    EXPECT_TRUE(
        record.value(QStringLiteral("message")).toString().contains(QStringLiteral("refused")));
    EXPECT_EQ(number(record, "rowsWritten"), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_Member")), 0);
    ASSERT_EQ(lastOut.size(), 1);
    EXPECT_TRUE(lastOut.first().startsWith(
        QStringLiteral("stored-value 1/1: failed, 6 checked, 0 written, 0 left out, 0 categories "
                       "created, 0 reused, ")))
        << lastOut.first().toStdString();
}

TEST_F(RecordCli, ARecordFileThatCannotBeWrittenIsRefusedBeforeAnyImport) {
    QDir(dir()).mkdir(QStringLiteral("taken"));
    const ProcessResult result = runInDir(
        {QStringLiteral("--record"), dir() + QStringLiteral("/taken"), QStringLiteral("points")});
    EXPECT_EQ(result.exitCode, 64);
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_JFAgioCardDetail")), 0);
}

TEST_F(RecordCli, VerifyNamesExactlyTheRowsMissingAndWritesNothing) {
    const ProcessResult imported =
        runInDir({QStringLiteral("stored-value"), QStringLiteral("items-goods")});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    // Keys are found in any letter case, as the import finds them.
    execute(QStringLiteral("UPDATE CY_DishDetail SET DishSN = lower(DishSN)"));
    const ProcessResult complete =
        runInDir({QStringLiteral("--verify"), QStringLiteral("stored-value"),
                  QStringLiteral("items-goods")});
    EXPECT_EQ(complete.exitCode, 0) << complete.err.toStdString();
    const QStringList summaries = complete.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(summaries.size(), 3) << complete.out.toStdString();
    EXPECT_TRUE(summaries.at(0).endsWith(
        QStringLiteral(": 6 rows, 6 present, 0 missing from HY_Member.MemberID")));
    EXPECT_TRUE(summaries.at(1).startsWith(QStringLiteral("items-goods 1/2 ")));
    EXPECT_TRUE(summaries.at(1).contains(QStringLiteral(" 0 missing from CY_DishDetail.DishSN")));

    // Three members gone; another program holds a write lock meanwhile: a check that wrote
    // would wait for it and fail.
    execute(QStringLiteral("DELETE FROM HY_Member WHERE MemberID IN ('0000100002', "
                           "'0000100004', '0000100006')"));
    const QString name = QUuid::createUuid().toString();
    ProcessResult partial;
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        holder.setDatabaseName(databasePath());
        ASSERT_TRUE(holder.open());
        ASSERT_TRUE(QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE")));
        partial = runInDir({QStringLiteral("--verify"), QStringLiteral("stored-value")});
        QSqlQuery(holder).exec(QStringLiteral("ROLLBACK"));
        holder.close();
    }
    QSqlDatabase::removeDatabase(name);
    EXPECT_EQ(partial.exitCode, 1) << partial.err.toStdString();
    EXPECT_EQ(partial.err, QString());
    const QStringList lines = partial.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.mid(1), (QStringList{QStringLiteral("  missing: row 3 key 0000100002"),
                                         QStringLiteral("  missing: row 5 key 0000100004"),
                                         QStringLiteral("  missing: row 7 key 0000100006")}));
    EXPECT_TRUE(lines.value(0).endsWith(
        QStringLiteral(": 6 rows, 3 present, 3 missing from HY_Member.MemberID")));
}

} // namespace
} // namespace kestrel::test
