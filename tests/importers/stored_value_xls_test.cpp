// The stored-value import through a real .xls file written by python3-xlwt: number cells, date
// cells and text cells as a spreadsheet program stores them.
#include "run_fixture.h"

#include "importers/importers.h"
#include "test_paths.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace kestrel::test {
namespace {

const char* const kWriter = R"PY(
import sys, datetime, xlwt
book = xlwt.Workbook(encoding='utf-8')
sheet = book.add_sheet('充值卡')
header = ['卡类型', '卡芯号', '卡面号', '挂失', '密码', '卡中金额', '积分', '有效日期', '发卡日期',
          '备用', '顾问', '姓名', '性别', '电话', '短信', '生日', '邮编', '地址', '证件']
for column, title in enumerate(header):
    sheet.write(0, column, title)
dates = xlwt.easyxf(num_format_str='yyyy-mm-dd')
rows = [
    ['金卡', '0012345', '', 'n', '', 300.5, 20, datetime.date(2026, 5, 1), datetime.date(2024, 1, 15),
     '', '李顾问', '王五', '女', '13800000000', 'y', datetime.date(1985, 6, 1), '', '', ''],
    ['银卡', 'B-2', 'F2', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '', ''],
]
for r, row in enumerate(rows, start=1):
    for c, value in enumerate(row):
        if isinstance(value, datetime.date):
            sheet.write(r, c, value, dates)
        elif value != '':
            sheet.write(r, c, value)
book.save(sys.argv[1])
)PY";

// Debian's python3-xlwt belongs to the system interpreter; a python3 found first on the path
// (pyenv, a virtual environment) may not have it.
QString pythonWithXlwt() {
    const QString system = QStringLiteral("/usr/bin/python3");
    return QFileInfo::exists(system) ? system : QStringLiteral("python3");
}

class StoredValueXlsTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        createSchema(storedValueSchema(SchemaFlavour::Strict));
        QProcess python;
        python.start(pythonWithXlwt(), {QStringLiteral("-c"), QString::fromUtf8(kWriter),
                                        folder->filePath(QStringLiteral("青雁充值卡模板.xls"))});
        ASSERT_TRUE(python.waitForFinished(60000));
        ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    }

    RunOutcome runFromFile() {
        RunContext context(*database, observer);
        context.templateFolder = folder->path();
        context.identity = identity;
        context.locale = locale;
        context.now = [this] { return now; };
        return runImport(ImportKind::StoredValue, context); // the real .xls reader
    }

    QString member(const QString& chip, const QString& expression) {
        return scalar(QStringLiteral("SELECT %1 FROM HY_Member WHERE MemberID='%2'")
                          .arg(expression, chip))
            .toString();
    }
};

TEST_F(StoredValueXlsTest, ImportsNumberDateAndTextCells) {
    ASSERT_EQ(runFromFile(), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString()
        << observer.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("充值卡执行完毕!")});
    EXPECT_EQ(observer.captions.first(), QStringLiteral("当前第1记录,卡芯号：0012345"));

    const QString first = QStringLiteral("0012345");
    EXPECT_EQ(member(first, QStringLiteral("CardName")), first);
    EXPECT_EQ(member(first, QStringLiteral("SumMoney")).toDouble(), 300.5);
    EXPECT_EQ(member(first, QStringLiteral("JiFen")).toDouble(), 20.0);
    EXPECT_EQ(member(first, QStringLiteral("substr(EndDate, 1, 10) || substr(CreateDate, 1, 10) || "
                                           "substr(Birthday, 1, 10)")),
              QStringLiteral("2026-05-012024-01-151985-06-01"));

    const QString second = QStringLiteral("B-2");
    EXPECT_EQ(member(second, QStringLiteral("substr(EndDate, 1, 10)")),
              QStringLiteral("2025-02-27"));
    EXPECT_EQ(member(second, QStringLiteral("isBlankOut || Sex || isSendMsg")),
              QStringLiteral("n男y"));
    EXPECT_EQ(count(QStringLiteral("HY_CardType")), 2);
    EXPECT_EQ(count(QStringLiteral("HY_CardValueOpLog"), QStringLiteral("CardGroupID = ''")), 0);

    // A second run reads the file afresh and skips both cards.
    observer = RecordingObserver();
    EXPECT_EQ(runFromFile(), RunOutcome::Completed);
    EXPECT_EQ(count(QStringLiteral("HY_Member")), 2);
}

// The sample template shipped in templates/ passes every check and imports on the embedded
// branch schema.
class SampleTemplateTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        createSchema(storedValueSchema(SchemaFlavour::Branch));
        const QString sample = sourceDir() + QStringLiteral("/templates/青雁充值卡模板.xls");
        ASSERT_TRUE(QFile::copy(sample, folder->filePath(QStringLiteral("青雁充值卡模板.xls"))))
            << sample.toStdString();
    }
};

TEST_F(SampleTemplateTest, ImportsIntoTheBranchSchema) {
    RunContext context(*database, observer);
    context.templateFolder = folder->path();
    context.identity = identity;
    context.locale = locale;
    EXPECT_EQ(runImport(ImportKind::StoredValue, context), RunOutcome::Completed)
        << observer.messages.join(QLatin1Char('\n')).toStdString()
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(observer.messages, QStringList{QStringLiteral("充值卡执行完毕!")});
    EXPECT_GT(count(QStringLiteral("HY_Member")), 0);
    EXPECT_EQ(count(QStringLiteral("HY_Member")), count(QStringLiteral("HY_CardValueOpLog")));
    EXPECT_EQ(count(QStringLiteral("HY_Member"), QStringLiteral("CardTypeID = ''")), 0);
}

} // namespace
} // namespace kestrel::test
