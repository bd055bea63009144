// The stored-value import from the same rows saved as .xls (python3-xlwt), .xlsx
// (python3-openpyxl) and .ods (python3-odf, with a million declared empty rows after the data, as
// LibreOffice saves a sheet): the three databases come out identical. The .xlsx and .ods are found
// by the template's base name, as a re-saved template is.
#include "run_fixture.h"

#include "importers/importers.h"
#include "workbook_forms.h"

#include <QJsonArray>
#include <QSqlQuery>
#include <QSqlRecord>

namespace kestrel::test {
namespace {

QJsonObject date(const char* iso) {
    return QJsonObject{{QStringLiteral("date"), QString::fromLatin1(iso)}};
}

QJsonArray texts(const QStringList& values) {
    QJsonArray row;
    for (const QString& value : values)
        row.append(value.isEmpty() ? QJsonValue() : QJsonValue(value));
    return row;
}

QJsonObject templateRows() {
    QJsonArray first = texts({QStringLiteral("金卡"),
                              QStringLiteral("0012345"),
                              {},
                              QStringLiteral("n"),
                              {},
                              {},
                              {},
                              {},
                              {},
                              {},
                              QStringLiteral("李顾问"),
                              QStringLiteral("王五"),
                              QStringLiteral("女"),
                              QStringLiteral("13800000000"),
                              QStringLiteral("y"),
                              {},
                              {},
                              {},
                              {}});
    first[5] = 300.5;
    first[6] = 20;
    first[7] = date("2026-05-01");
    first[8] = date("2024-01-15");
    first[15] = date("1985-06-01");
    QJsonArray second = texts({QStringLiteral("银卡"),
                               QStringLiteral("B-2"),
                               QStringLiteral("F2"),
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {},
                               {}});
    QJsonArray third = texts({QStringLiteral("金卡"),
                              QStringLiteral("c-3"),
                              QStringLiteral("F3"),
                              QStringLiteral("n"),
                              QStringLiteral("0099"),
                              {},
                              {},
                              {},
                              {},
                              {},
                              {},
                              QStringLiteral("赵六 "),
                              QStringLiteral("男"),
                              {},
                              QStringLiteral("n"),
                              {},
                              QStringLiteral("510000"),
                              QStringLiteral("广州市"),
                              QStringLiteral("身份证")});
    third[5] = 1234567.25;
    third[6] = 0;
    third[13] = 13900000000.0; // a phone number typed as a number
    third[7] = date("2030-12-31");
    third[8] = date("2023-02-28");
    return QJsonObject{
        {QStringLiteral("sheet"), QStringLiteral("充值卡")},
        {QStringLiteral("rows"), QJsonArray{texts(storedValueHeader()), first, second, third}},
        {QStringLiteral("empty_rows_after"), 1048000}};
}

class StoredValueFormatsTest : public RunFixture {
protected:
    // Every row of every table, as text, in a stable order.
    QStringList databaseContent() {
        QStringList content;
        for (const QString& table :
             column(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                   "name NOT LIKE 'sqlite_%' ORDER BY name"))) {
            QSqlQuery query(database->connection());
            EXPECT_TRUE(query.exec(QStringLiteral("SELECT * FROM \"%1\"").arg(table)));
            QStringList rows;
            while (query.next()) {
                QStringList values;
                for (int i = 0; i < query.record().count(); ++i)
                    values << query.value(i).toString();
                rows << table + QLatin1Char('|') + values.join(QLatin1Char('|'));
            }
            rows.sort();
            content << rows;
        }
        return content;
    }

    QStringList importFrom(const QString& templateFolder) {
        TearDown();
        SetUp(); // a fresh database for each form
        createSchema(storedValueSchema(SchemaFlavour::Strict));
        observer = RecordingObserver();
        RunContext context(*database, observer);
        context.templateFolder = templateFolder;
        context.identity = identity;
        context.locale = locale;
        context.now = [this] { return now; };
        EXPECT_EQ(runImport(ImportKind::StoredValue, context), RunOutcome::Completed)
            << observer.errors.join(QLatin1Char('\n')).toStdString()
            << observer.messages.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(observer.progressMaxima.value(0), 4); // the real rows only
        return databaseContent();
    }
};

TEST_F(StoredValueFormatsTest, SameRowsGiveTheSameDatabase) {
    QTemporaryDir forms;
    QMap<QString, QString> folders;
    for (const char* form : {"xls", "xlsx", "ods"}) {
        const QString formFolder = forms.filePath(QString::fromLatin1(form));
        ASSERT_TRUE(QDir().mkpath(formFolder));
        ASSERT_TRUE(writeWorkbookForms(templateRows(),
                                       formFolder + QStringLiteral("/青雁充值卡模板"),
                                       {QString::fromLatin1(form)}));
        folders[QString::fromLatin1(form)] = formFolder;
    }
    const QStringList fromXls = importFrom(folders[QStringLiteral("xls")]);
    EXPECT_EQ(count(QStringLiteral("HY_Member")), 3);
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT SumMoney FROM HY_Member WHERE MemberID = 'c-3'")).toDouble(),
        1234567.25);
    EXPECT_EQ(importFrom(folders[QStringLiteral("xlsx")]), fromXls);
    EXPECT_EQ(importFrom(folders[QStringLiteral("ods")]), fromXls);
}

} // namespace
} // namespace kestrel::test
