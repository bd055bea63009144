// Every import whose rows name categories that already exist, in the same or another letter case
// and under keys of their own: no category is created again, the imported rows carry the
// existing keys, rows already in the branch keep theirs, and a new name is created once.
#include "branch_import_fixture.h"

#include "test_paths.h"
#include "workbook/workbook.h"

#include <ostream>
#include <tuple>

namespace kestrel::test {
namespace {

// Where one import keeps one kind of category (template columns counted from 1).
struct CategoryCase {
    const char* name;
    ImportKind kind;
    const char* templateFile;
    int worksheet; // of a template with two when the import runs two blocks
    int keyColumn; // the template column of the row's key
    int nameColumn;
    const char* rowsTable;
    const char* rowsId;
    const char* rowsKey;
    const char* rowsName;
    const char* categoryTable;
    const char* categoryKey;
    const char* categoryName;
};

const CategoryCase kCases[] = {
    {"StoredValue", ImportKind::StoredValue, "青雁充值卡模板.xls", 1, 2, 1, "HY_Member", "MemberID",
     "CardTypeID", "CardTypeName", "HY_CardType", "CardTypeID", "CardTypeName"},
    {"Points", ImportKind::Points, "青雁积分卡模板.xls", 1, 2, 1, "HY_JFAgioCardDetail", "CardCode",
     "CardTypeID", "CardTypeName", "HY_CardType", "CardTypeID", "CardTypeName"},
    {"Treatment", ImportKind::Treatment, "青雁疗程次卡模板.xls", 1, 2, 1, "HY_JiCiCardDetail",
     "CardCode", "CardTypeID", "CardTypeName", "HY_CardType", "CardTypeID", "CardTypeName"},
    {"TimePeriod", ImportKind::TimePeriod, "青雁时段卡模板.xls", 1, 2, 1, "HY_JiCiCardDetail",
     "CardCode", "CardTypeID", "CardTypeName", "HY_CardType", "CardTypeID", "CardTypeName"},
    {"Rooms", ImportKind::RoomsLockers, "青雁锁牌房间资料模板.xls", 1, 2, 1, "SN_RoomDetail",
     "RoomDetailSN", "DiningRoomSN", "DiningRoomName", "CY_DiningRoom", "DiningRoomSN",
     "DiningRoomName"},
    {"LockerTags", ImportKind::RoomsLockers, "青雁锁牌房间资料模板.xls", 2, 2, 1, "SN_HandBrand",
     "HandBrandSN", "HandTypeID", "HandTypeName", "SN_HandType", "HandTypeID", "HandTypeName"},
    {"Items", ImportKind::ItemsGoods, "青雁营业项目资料模板.xls", 1, 2, 1, "CY_DishDetail",
     "DishSN", "DishTypeSN", "DishTypeName", "CY_DishType", "DishTypeSN", "DishTypeName"},
    {"Goods", ImportKind::ItemsGoods, "青雁营业项目资料模板.xls", 2, 2, 1, "CK_Goods", "GoodsID",
     "GoodsTypeID", "GoodsTypeName", "CK_GoodsType", "GoodsTypeID", "GoodsTypeName"},
    {"Departments", ImportKind::Employees, "青雁员工资料模板.xls", 1, 3, 1, "HR_Employe",
     "EmployeSN", "DepartmentSN", "DepartmentName", "HR_Department", "DepartmentSN",
     "DepartmentName"},
    {"EmployeeTypes", ImportKind::Employees, "青雁员工资料模板.xls", 1, 3, 2, "HR_Employe",
     "EmployeSN", "EmployeTypeID", "EmployeTypeName", "HR_EmployeType", "EmployeTypeID",
     "EmployeTypeName"},
};

void PrintTo(const CategoryCase& c, std::ostream* stream) {
    *stream << c.name;
}

// The texts of one row of a sample template.
QStringList sampleRow(const Workbook& book, int sheet, int row) {
    const QLocale locale(QLocale::Chinese, QLocale::China);
    QStringList texts;
    for (int column = 1; column <= 30; ++column)
        texts.append(cellText(book, sheet, row, column, locale));
    while (!texts.isEmpty() && texts.last().isEmpty())
        texts.removeLast();
    return texts;
}

class ExistingCategoriesTest
    : public RunFixture,
      public ::testing::WithParamInterface<std::tuple<CategoryCase, BranchFlavour>> {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        createSchema(branchSchema(std::get<1>(GetParam())));
        c = std::get<0>(GetParam());
    }

    QString u(const char* text) { return QString::fromUtf8(text); }

    // The sample template's header and first row on every worksheet, the case's worksheet with
    // rows of the given keys and category names instead.
    void writeTemplate(const QList<std::pair<QString, QString>>& keysAndNames) {
        const std::unique_ptr<Workbook> sample =
            openWorkbook(sourceDir() + QStringLiteral("/templates/") + u(c.templateFile));
        const int sheets = sample->worksheetCount();
        MemoryWorkbook& book = addTemplate(u(c.templateFile), sheets);
        for (int sheet = 1; sheet <= sheets; ++sheet) {
            book.appendTextRow(sheet, sampleRow(*sample, sheet, 1));
            if (sheet != c.worksheet)
                continue;
            for (const auto& [key, name] : keysAndNames) {
                QStringList row = sampleRow(*sample, sheet, 2);
                row[c.keyColumn - 1] = key;
                row[c.nameColumn - 1] = name;
                book.appendTextRow(sheet, row);
            }
        }
    }

    QString rowKey(const QString& id) {
        return scalar(QStringLiteral("SELECT %1 FROM %2 WHERE %3='%4'")
                          .arg(u(c.rowsKey), u(c.rowsTable), u(c.rowsId), id))
            .toString();
    }
    QStringList categoryKeys(const QString& name) {
        return column(QStringLiteral("SELECT %1 FROM %2 WHERE %3='%4'")
                          .arg(u(c.categoryKey), u(c.categoryTable), u(c.categoryName), name));
    }

    CategoryCase c{};
};

TEST_P(ExistingCategoriesTest, AreReusedByNameAndANewNameIsCreatedOnce) {
    // Two categories of one name (the old tool made such twins) and a branch row of the second.
    exec(QStringLiteral("INSERT INTO %1 (%2, %3) VALUES ('K01', 'Vip'), ('K02', 'Vip')")
             .arg(u(c.categoryTable), u(c.categoryKey), u(c.categoryName)));
    exec(QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES ('OLD1', 'K02', 'Vip')")
             .arg(u(c.rowsTable), u(c.rowsId), u(c.rowsKey), u(c.rowsName)));
    writeTemplate({{QStringLiteral("N1"), QStringLiteral("Vip")},
                   {QStringLiteral("N2"), QStringLiteral("vIP")},
                   {QStringLiteral("N3"), QStringLiteral("新类别")},
                   {QStringLiteral("N4"), QStringLiteral("新类别")}});

    ASSERT_EQ(run(c.kind), RunOutcome::Completed)
        << observer.errors.join(QLatin1Char('\n')).toStdString()
        << observer.messages.join(QLatin1Char('\n')).toStdString();

    EXPECT_EQ(count(u(c.categoryTable)), 3);
    EXPECT_EQ(rowKey(QStringLiteral("N1")), QStringLiteral("K01"));
    EXPECT_EQ(rowKey(QStringLiteral("N2")), QStringLiteral("K01"));
    EXPECT_EQ(rowKey(QStringLiteral("OLD1")), QStringLiteral("K02"));
    const QStringList created = categoryKeys(QStringLiteral("新类别"));
    ASSERT_EQ(created.size(), 1);
    EXPECT_EQ(rowKey(QStringLiteral("N3")), created.first());
    EXPECT_EQ(rowKey(QStringLiteral("N4")), created.first());

    // The block's record names the one created and the one reused.
    ASSERT_GE(observer.records.size(), c.worksheet);
    QStringList reported;
    for (const ReconciliationRecord& categories : observer.records.at(c.worksheet - 1).categories) {
        if (categories.categoryTable != u(c.categoryTable))
            continue;
        for (const ReconciledCategory& category : categories.created)
            reported.append(QStringLiteral("created ") + category.key + category.name);
        for (const ReconciledCategory& category : categories.reused)
            reported.append(QStringLiteral("reused ") + category.key + category.name);
    }
    EXPECT_EQ(reported,
              (QStringList{QStringLiteral("created ") + created.first() + QStringLiteral("新类别"),
                           QStringLiteral("reused K01Vip")}));
}

std::string
caseName(const ::testing::TestParamInfo<std::tuple<CategoryCase, BranchFlavour>>& info) {
    return std::string(std::get<0>(info.param).name) +
           (std::get<1>(info.param) == BranchFlavour::Branch ? "Branch" : "Loose");
}

INSTANTIATE_TEST_SUITE_P(Imports, ExistingCategoriesTest,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(BranchFlavour::Branch,
                                                              BranchFlavour::Loose)),
                         caseName);

} // namespace
} // namespace kestrel::test
