#include "run_fixture.h"

#include "run/reconciliation.h"
#include "text/errors.h"

namespace kestrel::test {
namespace {

TEST(FollowUpStatement, EmbedsKeyAndNameAsEscapedLiterals) {
    const FollowUpTemplate followUp{QStringLiteral(" Update HY_Member Set        CardTypeID='"),
                                    QStringLiteral(" Where  CardTypeName="),
                                    QStringLiteral("CardTypeID")};
    EXPECT_EQ(
        followUpStatement(followUp, QStringLiteral("K1"), QStringLiteral("金卡")),
        QStringLiteral(" Update HY_Member Set        CardTypeID='K1' Where  CardTypeName='金卡'"));
    EXPECT_EQ(followUpStatement(followUp, QStringLiteral("K'2"), QStringLiteral("O'Neil")),
              QStringLiteral(" Update HY_Member Set        CardTypeID='K''2' Where  "
                             "CardTypeName='O''Neil'"));
    EXPECT_EQ(
        followUpFillingEmptyKeys(followUp, QStringLiteral("K1"), QStringLiteral("金卡")),
        QStringLiteral(" Update HY_Member Set        CardTypeID='K1' Where  CardTypeName='金卡' "
                       "And (CardTypeID Is Null Or CardTypeID='')"));
    // SQL Server: Unicode literals, which reach a server of any code page.
    EXPECT_EQ(
        followUpFillingEmptyKeys(followUp, QStringLiteral("K'3"), QStringLiteral("金卡"), true),
        QStringLiteral(" Update HY_Member Set        CardTypeID=N'K''3' Where  "
                       "CardTypeName=N'金卡' And (CardTypeID Is Null Or CardTypeID='')"));
}

class ReconciliationTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        createSchema({
            QStringLiteral("CREATE TABLE HR_Employe (EmployeSN varchar(20), EmployeTypeID "
                           "varchar(20), EmployeTypeName varchar(20), DepartmentSN varchar(3), "
                           "DepartmentName varchar(20))"),
            QStringLiteral("CREATE TABLE HR_Department (DepartmentSN varchar(3) COLLATE NOCASE, "
                           "DepartmentName varchar(20), BmHlpCode varchar(10), DepartmentPhone "
                           "varchar(10), Departmentower varchar(10), HotelID varchar(10), "
                           "isTransfer char(1), isBackup char(1))"),
            QStringLiteral("CREATE TABLE CY_DishDetail (DishSN varchar(20), UnitID varchar(20))"),
            QStringLiteral("CREATE TABLE Sys_Unit (UnitID varchar(20) COLLATE NOCASE, UnitName "
                           "varchar(20) COLLATE NOCASE, MokuanID varchar(4), isTransfer char(1), "
                           "isBackup char(1))"),
        });
    }

    ReconciliationRecord reconcileWith(const ReconciliationInstance& instance) {
        CategoryKeyGenerator keys([this] { return now; });
        return reconcile(instance, *database, identity, keys);
    }

    static QStringList listed(const QList<ReconciledCategory>& categories) {
        QStringList texts;
        for (const ReconciledCategory& category : categories)
            texts.append(category.key + QLatin1Char(' ') + category.name);
        return texts;
    }
};

TEST_F(ReconciliationTest, EmptyPairsCreateNothing) {
    reconcileWith(departmentsReconciliation());
    EXPECT_EQ(count(QStringLiteral("HR_Department")), 0);
}

TEST_F(ReconciliationTest, DepartmentsInTheSameMillisecondGetDifferentFreeKeys) {
    exec(QStringLiteral("INSERT INTO HR_Department (DepartmentSN, DepartmentName) "
                        "VALUES ('123', '旧部门')"));
    exec(QStringLiteral("INSERT INTO HR_Employe (EmployeSN, DepartmentSN, DepartmentName) VALUES "
                        "('E1', '', '前台'), ('E2', '', '技师部'), ('E3', '', '前台')"));
    reconcileWith(departmentsReconciliation());

    EXPECT_EQ(count(QStringLiteral("HR_Department")), 3);
    const QString front =
        scalar(QStringLiteral("SELECT DepartmentSN FROM HR_Department WHERE DepartmentName='前台'"))
            .toString();
    const QString spa =
        scalar(
            QStringLiteral("SELECT DepartmentSN FROM HR_Department WHERE DepartmentName='技师部'"))
            .toString();
    EXPECT_EQ(QSet<QString>({front, spa}),
              QSet<QString>({QStringLiteral("124"), QStringLiteral("125")}));
    EXPECT_EQ(column(QStringLiteral("SELECT DepartmentSN FROM HR_Employe ORDER BY EmployeSN")),
              QStringList({front, spa, front}));
    EXPECT_EQ(scalar(QStringLiteral("SELECT HotelID FROM HR_Department WHERE DepartmentSN='124'"))
                  .toString(),
              identity.hotelId);
}

TEST_F(ReconciliationTest, NoFreeDepartmentKeyFailsClearly) {
    exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < "
                        "999) INSERT INTO HR_Department (DepartmentSN, DepartmentName) SELECT "
                        "printf('%03d', i), 'd' || i FROM n"));
    exec(QStringLiteral("INSERT INTO HR_Employe (EmployeSN, DepartmentSN, DepartmentName) VALUES "
                        "('E1', '', '新部门')"));
    EXPECT_THROW(reconcileWith(departmentsReconciliation()), Error);
}

TEST_F(ReconciliationTest, UnitsAreLookedUpByNameAndAlwaysGetAGeneratedKey) {
    exec(QStringLiteral("INSERT INTO Sys_Unit (UnitID, UnitName) VALUES ('U1', '瓶')"));
    exec(QStringLiteral("INSERT INTO CY_DishDetail (DishSN, UnitID) VALUES ('D1', '瓶'), "
                        "('D2', '个'), ('D3', '个')"));
    reconcileWith(itemUnitsReconciliation());

    EXPECT_EQ(count(QStringLiteral("Sys_Unit")), 2);
    EXPECT_EQ(scalar(QStringLiteral("SELECT UnitID FROM Sys_Unit WHERE UnitName='个'")).toString(),
              QStringLiteral("130405123"));
    EXPECT_EQ(
        scalar(QStringLiteral("SELECT MokuanID FROM Sys_Unit WHERE UnitName='个'")).toString(),
        QStringLiteral("SN"));
    // Items keep the unit's name.
    EXPECT_EQ(count(QStringLiteral("CY_DishDetail"), QStringLiteral("UnitID='个'")), 2);
}

TEST_F(ReconciliationTest, AQuotedNameCannotChangeTheUpdate) {
    exec(QStringLiteral("INSERT INTO HR_Employe (EmployeSN, EmployeTypeID, EmployeTypeName) "
                        "VALUES ('E1', 'OLD', '老员工'), ('E2', '', 'x'' Or ''1''=''1')"));
    exec(QStringLiteral("CREATE TABLE HR_EmployeType (EmployeTypeID varchar(20), EmployeTypeName "
                        "varchar(20), isTransfer char(1), isBackup char(1))"));
    exec(QStringLiteral("INSERT INTO HR_EmployeType VALUES ('OLD', '老员工', 'n', 'n')"));
    reconcileWith(employeeTypesReconciliation());

    EXPECT_EQ(scalar(QStringLiteral("SELECT EmployeTypeID FROM HR_Employe WHERE EmployeSN='E1'"))
                  .toString(),
              QStringLiteral("OLD"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT EmployeTypeID FROM HR_Employe WHERE EmployeSN='E2'"))
                  .toString(),
              QStringLiteral("DR130405123"));
}

TEST_F(ReconciliationTest, PairsWithAKeyComeFirstAndOthersFindTheirCategoryByName) {
    exec(QStringLiteral("CREATE TABLE HR_EmployeType (EmployeTypeID varchar(20), EmployeTypeName "
                        "varchar(20), isTransfer char(1), isBackup char(1))"));
    exec(QStringLiteral("INSERT INTO HR_EmployeType VALUES ('T1', 'Waiter', 'n', 'n')"));
    // A key no category has yet ('K9'), named again without a key in another letter case; an
    // existing type named without a key; and a new name.
    exec(QStringLiteral("INSERT INTO HR_Employe (EmployeSN, EmployeTypeID, EmployeTypeName) VALUES "
                        "('E1', '', 'chef'), ('E2', 'K9', 'Chef'), ('E3', NULL, 'WAITER'), "
                        "('E4', '', '技师'), ('E5', 'T1', 'Chef')"));
    const ReconciliationRecord record = reconcileWith(employeeTypesReconciliation());

    EXPECT_EQ(record.categoryTable, QStringLiteral("HR_EmployeType"));
    EXPECT_EQ(listed(record.created),
              (QStringList{QStringLiteral("K9 Chef"), QStringLiteral("DR130405123 技师")}));
    EXPECT_EQ(listed(record.reused), QStringList{QStringLiteral("T1 Waiter")});
    EXPECT_EQ(count(QStringLiteral("HR_EmployeType")), 3);
    // Every row without a key has one now. A category created under the key a pair named gives
    // that key to every row of its name, as it always has; the others keep theirs.
    EXPECT_EQ(column(QStringLiteral("SELECT EmployeTypeID FROM HR_Employe ORDER BY EmployeSN")),
              (QStringList{QStringLiteral("K9"), QStringLiteral("K9"), QStringLiteral("T1"),
                           QStringLiteral("DR130405123"), QStringLiteral("K9")}));
}

} // namespace
} // namespace kestrel::test
