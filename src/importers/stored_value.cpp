#include "importers/stored_value.h"

namespace kestrel {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

ColumnCheck readOnly(int column) {
    return {column, ColumnCheck::Rule::ReadOnly, {}, {}, {}, {}};
}

ColumnCheck notEmpty(int column, const char* tail) {
    return {column, ColumnCheck::Rule::NotEmpty, text(tail), {}, {}, {}};
}

ColumnCheck replaceUnless(int column, const QStringList& allowed, const char* replacement) {
    return {column,  ColumnCheck::Rule::ReplaceUnlessAllowed, {},
            allowed, CellDefault::ofText(text(replacement)),  {}};
}

ColumnCheck number(int column, const char* tail) {
    return {column, ColumnCheck::Rule::NumberOrDefault, text(tail),
            {},     CellDefault::ofNumber(0),           {}};
}

ColumnCheck date(int column, const char* tail, const CellDefault& fallback) {
    return {column, ColumnCheck::Rule::DateOrDefault, text(tail), {}, fallback, {}};
}

QList<ColumnCheck> checks() {
    return {
        notEmpty(1, "行的卡类型名不能为空!"),
        notEmpty(2, "行的卡芯编号不能为空!"),
        {3, ColumnCheck::Rule::DefaultWhenEmpty, {}, {}, CellDefault::copyOfColumn(2), {}},
        replaceUnless(4, {text("y"), text("n"), text("g")}, "n"),
        readOnly(5),
        number(6, "行的卡中金额请重输!"),
        number(7, "行的卡中积分请重输!"),
        date(8, "行的有效日期请重输!", CellDefault::todayPlusDays(365)),
        date(9, "行的发卡日期请重输!", CellDefault::todayPlusDays(0)),
        readOnly(10),
        readOnly(11),
        readOnly(12),
        replaceUnless(13, {text("男"), text("女")}, "男"),
        readOnly(14),
        replaceUnless(15, {text("y"), text("n")}, "y"),
        date(16, "行的客生日请重输!", CellDefault::ofText(text("1990-01-01"))),
        readOnly(17),
        readOnly(18),
        readOnly(19),
    };
}

FieldList memberRow() {
    FieldList row;
    row.set("HotelTreeID", groupNumber())
        .set("MemberID", templateColumn(2))
        .set("MemberPassword", templateColumn(5))
        .set("CardName", templateColumn(3))
        .set("SumMoney", templateColumn(6))
        .set("MemberName", templateColumn(12))
        .text({"AgioRate"}, "1")
        .set("Phone", templateColumn(14))
        .set("Address", templateColumn(18))
        .set("PostCode", templateColumn(17))
        .set("Sex", templateColumn(13))
        .set("Birthday", templateColumn(16))
        .set("JiFen", templateColumn(7))
        .set("CreateDate", templateColumn(9))
        .set("isBlankOut", templateColumn(4))
        .set("EndDate", templateColumn(8))
        .text({"isQianZhangXiaoFei"}, "否")
        .text({"isCalJiFenAndAgio"}, "y")
        .text({"XFSumMoney"}, "0")
        .empty({"GdCardNo"})
        .set("CardTypeName", templateColumn(1))
        .text({"isAttach"}, "y")
        .text({"CalTimes"}, "0")
        .empty({"CardTypeID"})
        .set("HotelID", branchNumber())
        .text({"QtdXfMoney", "QtdJiFen"}, "0")
        .set("HotelName", branchName())
        .set("StartDate", templateColumn(9))
        .text({"Memo"}, "导入")
        .empty({"SalerCode", "SalerName", "PrvRealDate"})
        .set("AdviserCode", templateColumn(11))
        .set("AdviserName", templateColumn(11))
        .empty({"XingZuo", "ShuXiang", "XuXing", "HeightBMI", "SanWeiDu", "XuYa", "MaiBo",
                "ClientTypeID", "ClientTypeName", "QQCode", "MSNCode", "EmailCode", "Fax", "ZhiYe"})
        .text({"PaperTypeID"}, "身份证")
        .set("PaperTypeName", templateColumn(19))
        .empty({"HomePhone", "LifeXiGuan"})
        .text({"Operator"}, "青雁人")
        .empty({"JiGuan", "CarCode", "ChengHu", "XinYang", "JinJi", "XingQHH"})
        .set("RepeatPassword", templateColumn(5))
        .text({"MokuanID"}, "SN")
        .empty({"ZkZhiWenOne", "ZkZhiWenTwo", "ZkZhiWenThree", "ZkZhiWenFour"})
        .text({"Age"}, "0")
        .set("CardEndDate", sameRow(text("CreateDate")))
        .empty({"MingZu", "CardFZJG", "FkLsh"})
        .text({"isZdFk", "isGiveCard"}, "n")
        .text({"FpMoney"}, "0")
        .text({"isSend"}, "y")
        .text({"XFTimes", "GiveDays"}, "0")
        .set("isSendMsg", templateColumn(15))
        .empty({"PrvComCallDate", "PrvRevisitDate"})
        .text({"MarriedDate"}, "1980-01-01")
        .empty({"OpenID", "YuETxDate", "GuoQiTxDate", "JiFenTxDate", "WddTxDate", "FaceID"})
        .set("LimitMoney", constantNumber(0))
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

FieldList valueLogRow() {
    FieldList row;
    row.empty({"CKSN"})
        .set("HotelTreeID", groupNumber())
        .set("HotelID", branchNumber())
        .set("HotelName", branchName())
        .text({"MokuanID"}, "SN")
        .set("CardCode", mainRow(text("MemberID")))
        .set("CardFaceID", mainRow(text("CardName")))
        .text({"CardTypeID"}, "IdCard")
        .set("CardGroupID", mainRow(text("CardTypeID")))
        .set("CardGroupName", mainRow(text("CardTypeName")))
        .set("ClientName", mainRow(text("MemberName")))
        .text({"OpTypeFlag"}, "CZ")
        .text({"OldJiFenValue", "OldCardValue"}, "0")
        .set("JiFenValue", mainRow(text("JiFen")))
        .set("CardValue", mainRow(text("SumMoney")))
        .text({"ZsCardValue"}, "0")
        .set("NowJiFenValue", mainRow(text("JiFen")))
        .set("NowCardValue", mainRow(text("SumMoney")))
        .empty({"AccountID", "AccountName", "CheckTypeID"})
        .text({"CheckTypeName"}, "导入")
        .empty({"KeMuID", "KeMuName", "ZhaiYaoID", "ZhaiYaoName"})
        .text({"Operator"}, "青雁人")
        .text({"CreateDate"}, "1999-01-01")
        .text({"CreateTime"}, "00:00")
        .text({"BanCiName"}, "导入")
        .text({"CheckoutDate"}, "1999-01-01")
        .text({"isAudit", "isChoiced", "isGzCheck"}, "n")
        .text({"GzCheckMoney"}, "0")
        .empty({"GzCheckDate", "GzCheckOperator", "SalerCode", "SalerName"})
        .text({"SaleTcMoney"}, "0")
        .text({"isInvoice"}, "n")
        .empty({"CardOpLsh"})
        .set("FkHotelID", branchNumber())
        .empty({"Auditor", "AuditDate"})
        .text({"ToRmbRate"}, "1")
        .empty({"CheckTypeEnID", "CheckGroupID", "CheckGroupName", "BankCardCode", "EndDate"})
        .text({"isZdCz"}, "n")
        .text({"isSend"}, "y")
        .text({"Memo"}, "工具导入")
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

QList<QStringList> cleanUpBatches() {
    return {
        {text(" Update HY_Member Set        MemberPassWord=''       ,RepeatPassWord='' Where  "
              "MemberPassWord is Null Or     MemberPassWord=''")},
        {text(" Update HY_Member Set        Phone='' Where  Phone is Null Or     Phone=''"),
         text(" Update HY_Member Set        PapertypeName='' Where  PapertypeName is Null Or     "
              "PapertypeName=''"),
         text(" Update HY_Member Set QtdXfMoney=SumMoney Where  QtdXfMoney<=0")},
    };
}

} // namespace

QString storedValueTemplateFile() {
    return text("青雁充值卡模板.xls");
}

ImportDefinition storedValueImport() {
    BlockDefinition block;
    block.templateFile = storedValueTemplateFile();
    block.worksheet = 1;
    block.keyColumn = 2;
    block.captionMiddle = text("记录,卡芯号：");
    block.preparatory = {{QueryRole::CardValue, text("Select * From HY_CardValueOpLog")}};
    block.checks = checks();
    block.mainStatement = text("Select * From HY_Member");
    block.keyField = text("MemberID");
    block.rows = {{QueryRole::Card, memberRow()}, {QueryRole::CardValue, valueLogRow()}};
    block.cleanUpBatches = cleanUpBatches();
    block.reconciliations = {
        cardTypesReconciliation(text(" Update HY_Member Set        CardTypeID='"))};
    block.completionMessage = text("充值卡执行完毕!");
    return {{block}};
}

} // namespace kestrel
