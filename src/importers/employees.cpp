#include "importers/employees.h"

#include "importers/check_rules.h"

namespace kestrel {

namespace {

using namespace checks;

QList<ColumnCheck> employeeChecks() {
    return {
        notEmpty(1, "行的部门名称不能为空!"),
        readOnly(2),
        notEmpty(3, "行的工号不能为空!"),
        notEmpty(4, "行的姓名不能为空!"),
        replaceUnless(5, {utf8("男"), utf8("女")}, "男"),
        yesNoFlag(6, "n"),
        textWhenEmpty(7, "汉族"),
        dateOrToday(8, "行的出生日期请重输!"),
        dateOrToday(9, "行的入职日期请重输!"),
        dateOrToday(10, "行的劳动合同开始日期请重输!"),
        dateOrToday(11, "行的劳动合同结束日期请重输!"),
        readOnly(12),
        readOnly(13),
        readOnly(14),
        readOnly(15),
        readOnly(16),
        textWhenEmpty(17, "未婚"),
        readOnly(18),
        readOnly(19),
        readOnly(20),
    };
}

FieldList employeeRow() {
    const FieldSource today = todayPlusDays(0);
    FieldList row;
    row.set("EmployeSN", templateColumn(3))
        .set("EmployeName", templateColumn(4))
        .empty({"EmployeTypeID"})
        .set("EmployeTypeName", templateColumn(2))
        .empty({"Zzmm", "DepartmentSN"})
        .set("DepartmentName", templateColumn(1))
        .set("Nation", templateColumn(7))
        .set("KulturLevel", templateColumn(15))
        .set("Sex", templateColumn(5))
        .set("Birthday", templateColumn(8))
        .set("Phone", templateColumn(12))
        .set("CardCode", templateColumn(18))
        .set("JiGuan", templateColumn(16))
        .set("WorkDate", templateColumn(9))
        .empty({"School", "ZhuanYe"})
        .set("Marriage", templateColumn(17))
        .set("Address", templateColumn(19))
        .empty({"Postcode", "Email"})
        .text({"ShowOrder"}, "0")
        .text({"isSaler"}, "n")
        .set("isWaiter", templateColumn(6))
        .text({"isOnline"}, "y")
        .empty({"ZhiWei"})
        .set("TelPhone", templateColumn(14))
        .set("HandSet", templateColumn(13))
        .empty({"JianLi"})
        .set("BankAccount", templateColumn(20))
        .empty({"AviFile", "WaiterRoomID"})
        .text({"isFrock"}, "n")
        .text({"DepositaMoney"}, "0")
        .empty({"introducer", "Memo", "ShiftCardCode", "ShiftCardPwd"})
        .set("HotelID", branchNumber())
        .text({"isSystemUser", "isStop"}, "n")
        .empty({"SysWinStyle", "PopWinStyle", "QryWinStyle", "ShuRuFa", "KqBzCode", "Stature",
                "WaiterLevelID", "WaiterGzRuleID"})
        .set("FinishSchoolDate", today)
        .text({"PeiXunDays"}, "0")
        .set("ZhuanZhenDate", today)
        .set("ServerEndDate", today)
        .set("LaoDongHtStartDate", templateColumn(10))
        .set("LaoDongHtEndDate", templateColumn(11))
        .text({"isZhuXu", "isSheBao"}, "n")
        .set("PeiXunDate", today)
        .empty({"JiShuZhiCheng", "RuZhiComeFrom", "Password"})
        .text({"isVipWaiter"}, "n")
        .text({"VipWaiterTzFee", "VipWaiterJzFee", "ShiftCardMoney"}, "0")
        .empty({"HuKouAddress", "WaiterLiDu", "WaiterLooks", "WaiterLevelName", "WaiterYiJuHao",
                "WaiterHandJuHao"})
        .text({"isWaiterGzCard"}, "n")
        .empty({"DormRoomID", "CardTyepID"})
        .text({"isHmd"}, "n")
        .empty({"OpenID"})
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

} // namespace

QString employeesTemplateFile() {
    return utf8("青雁员工资料模板.xls");
}

ImportDefinition employeesImport() {
    BlockDefinition block;
    block.templateFile = employeesTemplateFile();
    block.worksheet = 1;
    block.keyColumn = 3;
    block.captionMiddle = utf8("记录,工号：");
    block.checks = employeeChecks();
    block.mainStatement = utf8("Select * From HR_Employe");
    block.keyField = utf8("EmployeSN");
    block.rows = {{QueryRole::Card, employeeRow()}};
    block.reconciliations = {employeeTypesReconciliation(), departmentsReconciliation()};
    block.completionMessage = utf8("员工资料执行完毕!");
    return {{block}};
}

} // namespace kestrel
