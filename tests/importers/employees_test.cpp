// 员工资料导入: employees with their employee types and departments.
#include "branch_import_fixture.h"

namespace kestrel::test {
namespace {

const QString kTemplate = QStringLiteral("青雁员工资料模板.xls");
const QString kDone = QStringLiteral("员工资料执行完毕!");

// A good employee: every column filled.
QStringList employee(const QString& number, const QString& department = QStringLiteral("足疗部"),
                     const QString& type = QStringLiteral("技师")) {
    return QStringList{department, type, number, QStringLiteral("员工") + number} +
           QString::fromUtf8("女|y|壮族|1995-04-12|2022-03-01|2022-03-02|2025-02-28|0755-1|135|"
                             "0755-2|高中|湖南|已婚|E1|深圳|6222")
               .split(QLatin1Char('|'));
}

class EmployeesTest : public BranchImportTest {
protected:
    void SetUp() override {
        BranchImportTest::SetUp();
        book = &addTemplate(kTemplate);
        book->appendTextRow(1, {QStringLiteral("部门名称"), QStringLiteral("员工类型")});
    }
    QString employeeText(const QString& number, const QString& expression) {
        return text(QStringLiteral("SELECT %1 FROM HR_Employe WHERE EmployeSN='%2'")
                        .arg(expression, number));
    }

    MemoryWorkbook* book = nullptr;
};

TEST_P(EmployeesTest, CopiesTheColumnsAndFillsTheDatesOfTheRun) {
    book->appendTextRow(1, employee(QStringLiteral("001")));
    ASSERT_EQ(run(ImportKind::Employees), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(observer.messages, QStringList{kDone});
    EXPECT_EQ(observer.captions.first(), QStringLiteral("当前第1记录,工号：001"));

    const QString e = QStringLiteral("001");
    EXPECT_EQ(employeeText(e, QStringLiteral("EmployeName || DepartmentName || EmployeTypeName || "
                                             "Sex || isWaiter || Nation || Marriage")),
              QStringLiteral("员工001足疗部技师女y壮族已婚"));
    EXPECT_EQ(employeeText(e, QStringLiteral("Phone || HandSet || TelPhone || KulturLevel || "
                                             "JiGuan || CardCode || Address || BankAccount")),
              QStringLiteral("0755-11350755-2高中湖南E1深圳6222"));
    EXPECT_EQ(employeeText(e, QStringLiteral("substr(Birthday, 1, 10) || substr(WorkDate, 1, 10) "
                                             "|| substr(LaoDongHtStartDate, 1, 10) || "
                                             "substr(LaoDongHtEndDate, 1, 10)")),
              QStringLiteral("1995-04-122022-03-012022-03-022025-02-28"));
    EXPECT_EQ(employeeText(e, QStringLiteral("substr(FinishSchoolDate, 1, 10) || "
                                             "substr(ZhuanZhenDate, 1, 10) || "
                                             "substr(ServerEndDate, 1, 10) || "
                                             "substr(PeiXunDate, 1, 10)")),
              QStringLiteral("2024-02-28").repeated(4));
    EXPECT_EQ(employeeText(e, QStringLiteral("HotelID || isOnline")), QStringLiteral("0101y"));
}

TEST_P(EmployeesTest, EveryDefaultOfTheCheckingPass) {
    book->appendTextRow(1, changed(employee(QStringLiteral("D1")), {{5, QStringLiteral("M")},
                                                                    {6, QStringLiteral("Y")},
                                                                    {7, QString()},
                                                                    {8, QString()},
                                                                    {9, QString()},
                                                                    {10, QString()},
                                                                    {11, QString()},
                                                                    {17, QString()}}));
    book->appendTextRow(1, changed(employee(QStringLiteral("D2")), {{5, QString()}}));
    ASSERT_EQ(run(ImportKind::Employees), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(
        employeeText(QStringLiteral("D1"), QStringLiteral("Sex || isWaiter || Nation || Marriage")),
        QStringLiteral("男n汉族未婚"));
    EXPECT_EQ(employeeText(QStringLiteral("D1"),
                           QStringLiteral("substr(Birthday, 1, 10) || substr(WorkDate, 1, 10) "
                                          "|| substr(LaoDongHtStartDate, 1, 10) || "
                                          "substr(LaoDongHtEndDate, 1, 10)")),
              QStringLiteral("2024-02-28").repeated(4));
    EXPECT_EQ(employeeText(QStringLiteral("D2"), QStringLiteral("Sex")), QStringLiteral("男"));
}

TEST_P(EmployeesTest, BadRowWritesNothing) {
    struct Case {
        int column;
        QString text;
        QString tail;
    };
    const QList<Case> cases = {
        {1, QString(), QStringLiteral("行的部门名称不能为空!")},
        {3, QString(), QStringLiteral("行的工号不能为空!")},
        {8, QStringLiteral("abc"), QStringLiteral("行的出生日期请重输!")},
        {9, QStringLiteral("2024-02-30"), QStringLiteral("行的入职日期请重输!")},
        {11, QStringLiteral("x"), QStringLiteral("行的劳动合同结束日期请重输!")},
    };
    for (const Case& c : cases) {
        observer = RecordingObserver();
        book = &addTemplate(kTemplate);
        book->appendTextRow(1, {QStringLiteral("header")});
        book->appendTextRow(1, employee(QStringLiteral("G1")));
        book->appendTextRow(1, employee(QStringLiteral("G2")));
        book->appendTextRow(1, changed(employee(QStringLiteral("B")), {{c.column, c.text}}));
        EXPECT_EQ(run(ImportKind::Employees), RunOutcome::RowCheckFailed) << c.column;
        EXPECT_EQ(observer.messages, QStringList{QStringLiteral("第4") + c.tail});
    }
    EXPECT_EQ(count(QStringLiteral("HR_Employe")) + count(QStringLiteral("HR_Department")), 0);
}

TEST_P(EmployeesTest, KnownNumbersAreSkippedInAnyLetterCase) {
    exec(QStringLiteral("INSERT INTO HR_Employe (EmployeSN, DepartmentSN, DepartmentName, "
                        "EmployeTypeID, EmployeTypeName) VALUES ('a1', '001', '旧部', 'X', '旧')"));
    book->appendTextRow(1, employee(QStringLiteral("A1")));
    book->appendTextRow(1, employee(QStringLiteral("b2")));
    book->appendTextRow(1, employee(QStringLiteral("B2")));
    ASSERT_EQ(run(ImportKind::Employees), RunOutcome::Completed);
    EXPECT_EQ(column(QStringLiteral("SELECT EmployeSN FROM HR_Employe ORDER BY rowid")),
              (QStringList{QStringLiteral("a1"), QStringLiteral("b2")}));
}

TEST_P(EmployeesTest, TypesAndDepartmentsAreCreatedOnceWithDistinctKeys) {
    exec(QStringLiteral("INSERT INTO HR_Department (DepartmentSN, DepartmentName, HotelID) "
                        "VALUES ('900', '管理部', '0999')"));
    exec(QStringLiteral("INSERT INTO HR_Employe (EmployeSN, DepartmentSN, DepartmentName, "
                        "EmployeTypeID, EmployeTypeName) VALUES ('OLD', '900', '管理部', 'BOSS', "
                        "'店长')"));
    exec(QStringLiteral("INSERT INTO HR_EmployeType (EmployeTypeID, EmployeTypeName) VALUES "
                        "('BOSS', '店长')"));
    book->appendTextRow(1, employee(QStringLiteral("1"), QStringLiteral("足疗部")));
    book->appendTextRow(1, employee(QStringLiteral("2"), QStringLiteral("足疗部")));
    book->appendTextRow(1, employee(QStringLiteral("3"), QStringLiteral("前厅部"), QString()));
    ASSERT_EQ(run(ImportKind::Employees), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString();

    // Two departments created in one run (the same millisecond) get different keys.
    const QString foot = text(
        QStringLiteral("SELECT DepartmentSN FROM HR_Department WHERE DepartmentName='足疗部'"));
    const QString front = text(
        QStringLiteral("SELECT DepartmentSN FROM HR_Department WHERE DepartmentName='前厅部'"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{3}$")).match(foot).hasMatch())
        << foot.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{3}$")).match(front).hasMatch())
        << front.toStdString();
    EXPECT_NE(foot, front);
    EXPECT_EQ(count(QStringLiteral("HR_Department")), 3);
    EXPECT_EQ(count(QStringLiteral("HR_Department"),
                    QStringLiteral("DepartmentName IN ('足疗部', '前厅部') AND HotelID='0101' AND "
                                   "BmHlpCode='' AND isTransfer='n'")),
              2);
    EXPECT_EQ(column(QStringLiteral("SELECT DepartmentSN FROM HR_Employe ORDER BY rowid")),
              (QStringList{QStringLiteral("900"), foot, foot, front}));
    EXPECT_EQ(text(QStringLiteral("SELECT HotelID FROM HR_Department WHERE DepartmentSN='900'")),
              QStringLiteral("0999"));

    // 技师 once; the empty type name of employee 3 becomes a type with an empty name.
    EXPECT_EQ(count(QStringLiteral("HR_EmployeType")), 3);
    const QString technician = text(
        QStringLiteral("SELECT EmployeTypeID FROM HR_EmployeType WHERE EmployeTypeName='技师'"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^DR\\d{9}$")).match(technician).hasMatch());
    EXPECT_EQ(
        column(QStringLiteral("SELECT EmployeTypeID FROM HR_Employe ORDER BY rowid")).mid(0, 3),
        (QStringList{QStringLiteral("BOSS"), technician, technician}));
    EXPECT_FALSE(employeeText(QStringLiteral("3"), QStringLiteral("EmployeTypeID")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Schemas, EmployeesTest,
                         ::testing::Values(BranchFlavour::Branch, BranchFlavour::Loose),
                         flavourName);

} // namespace
} // namespace kestrel::test
