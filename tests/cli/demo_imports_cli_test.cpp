// kestrel-import runs the rooms-and-lockers, items-and-goods and employee imports on the demo
// branch database with the sample templates.
#include "cli_fixture.h"

#include "workbook/workbook.h"

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* stream) {
    *stream << '"' << text.toStdString() << '"';
}

namespace kestrel::test {
namespace {

const QStringList kImports = {QStringLiteral("rooms-lockers"), QStringLiteral("items-goods"),
                              QStringLiteral("employees")};
const QString kCompletions =
    QStringLiteral("锁牌房号执行完毕!\n锁牌房号执行完毕!\n项目资料执行完毕!\n"
                   "吧台库存项目执行完毕!\n员工资料执行完毕!\n");

class DemoImportsCli : public CliFixture {
protected:
    // The data rows of a worksheet of a sample template.
    int templateRows(const QString& file, int sheet) const {
        const std::unique_ptr<Workbook> book = openXlsWorkbook(templatePath(file));
        return book->lastRow(sheet) - 1;
    }
    qint64 rows(const QString& table, const QString& where = QStringLiteral("1=1")) const {
        return count(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(table, where));
    }
};

TEST_F(DemoImportsCli, ImportsTheSampleTemplatesAndReportsEachBlockInOrder) {
    const ProcessResult first = runInDir(kImports);
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, kCompletions);
    EXPECT_EQ(first.err, QString());

    const QString rooms = QStringLiteral("青雁锁牌房间资料模板.xls");
    const QString items = QStringLiteral("青雁营业项目资料模板.xls");
    const QString employees = QStringLiteral("青雁员工资料模板.xls");
    EXPECT_EQ(rows(QStringLiteral("SN_RoomDetail")), templateRows(rooms, 1));
    EXPECT_EQ(rows(QStringLiteral("SN_HandBrand")), templateRows(rooms, 2));
    EXPECT_EQ(rows(QStringLiteral("CY_DishDetail")), templateRows(items, 1));
    EXPECT_EQ(rows(QStringLiteral("CK_Goods")), templateRows(items, 2));
    EXPECT_EQ(rows(QStringLiteral("CK_WaterPrice")), templateRows(items, 2));
    EXPECT_EQ(rows(QStringLiteral("HR_Employe")), templateRows(employees, 1));
    // Every category named by the imported rows exists and its key is written back.
    EXPECT_EQ(rows(QStringLiteral("SN_RoomDetail"), QStringLiteral("DiningRoomSN = ''")) +
                  rows(QStringLiteral("SN_HandBrand"), QStringLiteral("HandTypeID = ''")) +
                  rows(QStringLiteral("CY_DishDetail"), QStringLiteral("DishTypeSN = ''")) +
                  rows(QStringLiteral("CK_Goods"), QStringLiteral("GoodsTypeID = ''")) +
                  rows(QStringLiteral("HR_Employe"),
                       QStringLiteral("DepartmentSN = '' OR EmployeTypeID = ''")),
              0);
    EXPECT_EQ(rows(QStringLiteral("CY_DishDetail"),
                   QStringLiteral("UnitID NOT IN (SELECT UnitName FROM Sys_Unit)")),
              0);
    EXPECT_EQ(rows(QStringLiteral("HR_Department"), QStringLiteral("HotelID <> '01'")), 0);
    // Departments created in the same run, within a millisecond, still get different keys.
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(DISTINCT DepartmentSN) FROM HR_Department")),
              rows(QStringLiteral("HR_Department")));
    EXPECT_GE(rows(QStringLiteral("HR_Department")), 2);
    // A unit named by both worksheets is created once.
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(DISTINCT UnitName) FROM Sys_Unit")),
              rows(QStringLiteral("Sys_Unit")));
    EXPECT_EQ(
        rows(QStringLiteral("SN_HandBrand"), QStringLiteral("HandSex NOT IN ('男宾', '女宾')")), 0);

    // A second run finds every row and every category and writes nothing.
    const QStringList tables = {QStringLiteral("SN_RoomDetail"), QStringLiteral("SN_HandBrand"),
                                QStringLiteral("CY_DiningRoom"), QStringLiteral("SN_HandType"),
                                QStringLiteral("CY_DishDetail"), QStringLiteral("CY_DishType"),
                                QStringLiteral("Sys_Unit"),      QStringLiteral("CK_Goods"),
                                QStringLiteral("CK_WaterPrice"), QStringLiteral("CK_GoodsType"),
                                QStringLiteral("HR_Employe"),    QStringLiteral("HR_EmployeType"),
                                QStringLiteral("HR_Department")};
    QList<qint64> before;
    for (const QString& table : tables)
        before.append(rows(table));
    const ProcessResult second = runInDir(kImports);
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(second.out, kCompletions);
    for (qsizetype i = 0; i < tables.size(); ++i)
        EXPECT_EQ(rows(tables.at(i)), before.at(i)) << tables.at(i).toStdString();
}

} // namespace
} // namespace kestrel::test
