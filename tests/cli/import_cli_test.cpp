// kestrel-import as IT staff run it: a separate process on a branch folder.
#include "cli_fixture.h"

#include "run/import_run.h"
#include "workbook/workbook.h"

#include <QFile>
#include <QJsonArray>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* stream) {
    *stream << '"' << text.toStdString() << '"';
}

namespace kestrel::test {
namespace {

const QString storedValueTemplate = QStringLiteral("青雁充值卡模板.xls");
const QString databaseMessage = QStringLiteral(" 数据库配置不正确，请重新配置");

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A stored-value row of 19 text cells; an empty text leaves the cell blank.
QJsonArray storedValueRow(const QString& chip, const QString& money = QStringLiteral("100"),
                          const QString& birthday = QString()) {
    return QJsonArray{QStringLiteral("金卡"),
                      chip,
                      QString(),
                      QStringLiteral("n"),
                      QString(),
                      money,
                      QString(),
                      QString(),
                      QString(),
                      QString(),
                      QString(),
                      QStringLiteral("张三"),
                      QStringLiteral("男"),
                      QString(),
                      QStringLiteral("y"),
                      birthday,
                      QString(),
                      QString(),
                      QString()};
}

QJsonArray header() {
    QJsonArray titles;
    for (int column = 1; column <= 19; ++column)
        titles.append(QStringLiteral("列%1").arg(column));
    return titles;
}

class ImportCli : public CliFixture {
protected:
    qint64 members() const { return count(QStringLiteral("SELECT COUNT(*) FROM HY_Member")); }
    qint64 logRows() const {
        return count(QStringLiteral("SELECT COUNT(*) FROM HY_CardValueOpLog"));
    }
    // Rows 3, 4 and 5 fail one check each; rows 2 (money left to its default) and 6 are good.
    void writeTemplateWithThreeBadRows() const {
        writeWorkbook(templatePath(storedValueTemplate),
                      QJsonArray{header(), storedValueRow(QStringLiteral("T001"), QString()),
                                 storedValueRow(QStringLiteral("T002"), QStringLiteral("12元")),
                                 storedValueRow(QString()),
                                 storedValueRow(QStringLiteral("T004"), QStringLiteral("100"),
                                                QStringLiteral("1990-13-45")),
                                 storedValueRow(QStringLiteral("T005"))});
    }
    // Two good rows of text cells only, so that identity tests depend on nothing else.
    void writeSimpleTemplate() const {
        writeWorkbook(templatePath(storedValueTemplate),
                      QJsonArray{header(), storedValueRow(QStringLiteral("S001")),
                                 storedValueRow(QStringLiteral("S002"))});
    }
};

TEST_F(ImportCli, StoredValueCompletesAndASecondRunSkipsEveryRow) {
    const std::unique_ptr<Workbook> book = openXlsWorkbook(templatePath(storedValueTemplate));
    ASSERT_GE(book->lastRow(1), 2);

    const ProcessResult first = runInDir({QStringLiteral("stored-value")});
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, QStringLiteral("充值卡执行完毕!\n"));
    EXPECT_EQ(first.err, QString()); // no progress when standard error is not a terminal
    for (int row = 2; row <= book->lastRow(1); ++row) {
        const QString chip = book->cell(1, row, 2).text;
        EXPECT_EQ(
            count(QStringLiteral("SELECT COUNT(*) FROM HY_Member WHERE MemberID='%1'").arg(chip)),
            1)
            << chip.toStdString();
    }
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_Member WHERE CardTypeID IS NULL "
                                   "OR CardTypeID=''")),
              0);

    const qint64 membersAfterFirst = members();
    const qint64 logRowsAfterFirst = logRows();
    const qint64 typesAfterFirst = count(QStringLiteral("SELECT COUNT(*) FROM HY_CardType"));
    const ProcessResult second = runInDir({QStringLiteral("stored-value")});
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(second.out, QStringLiteral("充值卡执行完毕!\n"));
    EXPECT_EQ(members(), membersAfterFirst);
    EXPECT_EQ(logRows(), logRowsAfterFirst);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_CardType")), typesAfterFirst);
}

TEST_F(ImportCli, CardImportsOfTheSampleTemplatesCompleteInTheOrderGiven) {
    const QStringList arguments{QStringLiteral("points"), QStringLiteral("treatment"),
                                QStringLiteral("time-period")};
    const QString messages =
        QStringLiteral("积分卡执行完毕!\n疗程次卡执行完毕!\n时段卡执行完毕!\n");
    const QString cardRows = QStringLiteral(
        "SELECT (SELECT COUNT(*) FROM HY_JFAgioCardDetail) || '/' || (SELECT COUNT(*) FROM "
        "HY_JiCiCardDetail WHERE CardGroupID='JiCiCard') || '/' || (SELECT COUNT(*) FROM "
        "HY_JiCiCardDetail WHERE CardGroupID='ShiDuanCard') || '/' || (SELECT COUNT(*) FROM "
        "HY_JiCiCardLog) || '/' || (SELECT COUNT(*) FROM HY_CardValueOpLog)");

    const ProcessResult first = runInDir(arguments);
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, messages);
    const QStringList counts = text(cardRows).split(QLatin1Char('/'));
    ASSERT_EQ(counts.size(), 5);
    EXPECT_NE(counts.at(0), QStringLiteral("0"));
    EXPECT_NE(counts.at(1), QStringLiteral("0"));
    EXPECT_NE(counts.at(2), QStringLiteral("0"));
    EXPECT_EQ(counts.at(3), counts.at(1)); // one usage-log row per treatment card
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_CardValueOpLog WHERE CardGroupID=''")),
              0);

    const ProcessResult second = runInDir(arguments);
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(second.out, messages);
    EXPECT_EQ(text(cardRows), counts.join(QLatin1Char('/')));
}

TEST_F(ImportCli, CheckPrintsEveryFailingRowInOrderAndWritesNothing) {
    writeTemplateWithThreeBadRows();
    if (IsSkipped() || HasFatalFailure())
        return;
    const qint64 membersBefore = members();
    const qint64 logRowsBefore = logRows();

    const ProcessResult result =
        runInDir({QStringLiteral("--check"), QStringLiteral("stored-value")});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    EXPECT_EQ(lines(result.out), (QStringList{QStringLiteral("第3行的卡中金额请重输!"),
                                              QStringLiteral("第4行的卡芯编号不能为空!"),
                                              QStringLiteral("第5行的客生日请重输!")}));
    EXPECT_EQ(members(), membersBefore);
    EXPECT_EQ(logRows(), logRowsBefore);
}

TEST_F(ImportCli, CheckOfGoodTemplatesSaysNothingAndExitsZero) {
    const qint64 membersBefore = members();
    const ProcessResult result =
        runInDir({QStringLiteral("--check"), QStringLiteral("stored-value")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QString());
    EXPECT_EQ(members(), membersBefore);
}

TEST_F(ImportCli, ImportStopsAtTheFirstImportThatDoesNotComplete) {
    writeTemplateWithThreeBadRows();
    if (IsSkipped() || HasFatalFailure())
        return;
    const qint64 membersBefore = members();

    const ProcessResult imported =
        runInDir({QStringLiteral("stored-value"), QStringLiteral("stored-value")});
    EXPECT_EQ(imported.exitCode, 1);
    // The window's run: the first failing row only, then nothing more.
    EXPECT_EQ(imported.out, QStringLiteral("第3行的卡中金额请重输!\n"));
    EXPECT_EQ(members(), membersBefore);

    // A check run goes on through every named import.
    const ProcessResult checked =
        runInDir({QStringLiteral("--check"), QStringLiteral("stored-value"),
                  QStringLiteral("stored-value")});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_EQ(lines(checked.out).size(), 6);
}

TEST_F(ImportCli, AnErrorEndingTheImportExitsTwoWithItsTextOnStandardError) {
    ASSERT_TRUE(QFile::remove(templatePath(storedValueTemplate)));
    const ProcessResult result = runInDir({QStringLiteral("stored-value")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, QString());
    EXPECT_FALSE(result.err.trimmed().isEmpty());
}

TEST_F(ImportCli, UsageErrorsExit64BeforeTheDatabaseIsTouched) {
    writeSettings(QStringLiteral("no-such.db")); // a usage error must win over a bad database
    const QList<QStringList> commands{
        {},
        {QStringLiteral("--dir"), dir()},
        {QStringLiteral("--dir")},
        {QStringLiteral("--dir"), dir(), QStringLiteral("--frobnicate"),
         QStringLiteral("stored-value")},
        {QStringLiteral("--dir"), dir(), QStringLiteral("coupons")},
        {QStringLiteral("--dir"), dir(), QStringLiteral("Stored-Value")},
        {QStringLiteral("--dir"), dir(), QStringLiteral("--hotel-id"), QStringLiteral("1"),
         QStringLiteral("--hotel-id"), QStringLiteral("2"), QStringLiteral("stored-value")},
    };
    for (const QStringList& arguments : commands) {
        const ProcessResult result = runImport(arguments);
        EXPECT_EQ(result.exitCode, 64) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("usage:")));
        EXPECT_EQ(result.out, QString());
    }
}

TEST_F(ImportCli, AMissingDatabaseExitsThreeWithTheSettingsMessageThenTheDriversOwn) {
    writeSettings(QStringLiteral("no-such.db"));
    const ProcessResult result = runInDir({QStringLiteral("stored-value")});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, QString());
    const QStringList errorLines = result.err.split(QLatin1Char('\n'));
    ASSERT_GE(errorLines.size(), 2);
    EXPECT_EQ(errorLines.at(0), databaseMessage);
    EXPECT_FALSE(errorLines.at(1).trimmed().isEmpty());
    EXPECT_FALSE(QFile::exists(dir() + QStringLiteral("/no-such.db")));
}

TEST_F(ImportCli, WithoutSysSystemTheIdentityOptionsStandInForTheEditBoxes) {
    writeSimpleTemplate();
    if (IsSkipped() || HasFatalFailure())
        return;
    execute(QStringLiteral("DROP TABLE Sys_System"));

    const ProcessResult none = runInDir({QStringLiteral("stored-value")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, QStringLiteral("集团号不能为空!\n"));

    const ProcessResult noName = runInDir({QStringLiteral("--hotel-tree-id"), QStringLiteral("QY"),
                                           QStringLiteral("--hotel-id"), QStringLiteral("8"),
                                           QStringLiteral("stored-value")});
    EXPECT_EQ(noName.exitCode, 1);
    EXPECT_EQ(noName.out, QStringLiteral("分店名不能为空!\n"));

    const ProcessResult full =
        runInDir({QStringLiteral("--hotel-tree-id"), QStringLiteral(" QY "),
                  QStringLiteral("--hotel-id=8"), QStringLiteral("--hotel-name"),
                  QStringLiteral("测试分店"), QStringLiteral("stored-value")});
    EXPECT_EQ(full.exitCode, 0) << full.err.toStdString();
    EXPECT_EQ(full.out, QStringLiteral("充值卡执行完毕!\n"));
    EXPECT_EQ(full.err, QString());
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_Member WHERE HotelTreeID='QY' AND "
                                   "HotelID='8' AND HotelName='测试分店'")),
              2);
}

TEST_F(ImportCli, WithSysSystemTheIdentityOptionsAreIgnoredWithAWarning) {
    writeSimpleTemplate();
    if (IsSkipped() || HasFatalFailure())
        return;
    const QString treeId = text(QStringLiteral("SELECT HotelTreeID FROM Sys_System"));
    const QString hotelName = text(QStringLiteral("SELECT HotelName FROM Sys_System"));
    ASSERT_FALSE(treeId.trimmed().isEmpty());

    const ProcessResult result =
        runInDir({QStringLiteral("--hotel-tree-id"), QStringLiteral("IGNORED"),
                  QStringLiteral("--hotel-name"), QStringLiteral("不用的店名"),
                  QStringLiteral("stored-value")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("充值卡执行完毕!\n"));
    EXPECT_TRUE(result.err.contains(QStringLiteral("warning")));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Sys_System")));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_Member WHERE HotelTreeID='IGNORED' "
                                   "OR HotelName='不用的店名'")),
              0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM HY_Member WHERE HotelTreeID='%1' AND "
                                   "HotelName='%2'")
                        .arg(treeId.trimmed(), hotelName.trimmed())),
              2);
}

} // namespace
} // namespace kestrel::test
