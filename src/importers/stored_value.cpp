#include "importers/stored_value.h"

#include "importers/card_fields.h"
#include "importers/check_rules.h"

namespace kestrel {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QList<ColumnCheck> columnChecks() {
    return {
        checks::notEmpty(1, "行的卡类型名不能为空!"),
        checks::notEmpty(2, "行的卡芯编号不能为空!"),
        checks::copyWhenEmpty(3, 2),
        blankOutFlagCheck(4),
        checks::readOnly(5),
        checks::numberOrZero(6, "行的卡中金额请重输!"),
        checks::numberOrZero(7, "行的卡中积分请重输!"),
        checks::dateOrDefault(8, "行的有效日期请重输!", CellDefault::todayPlusDays(365)),
        checks::dateOrDefault(9, "行的发卡日期请重输!", CellDefault::todayPlusDays(0)),
        checks::readOnly(10),
        checks::readOnly(11),
        checks::readOnly(12),
        sexCheck(13),
        checks::readOnly(14),
        checks::replaceUnless(15, {text("y"), text("n")}, "y"),
        checks::dateOrDefault(16, "行的客生日请重输!", CellDefault::ofText(text("1990-01-01"))),
        checks::readOnly(17),
        checks::readOnly(18),
        checks::readOnly(19),
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
    block.preparatory = {cardValueLogOpening()};
    block.checks = columnChecks();
    block.mainStatement = text("Select * From HY_Member");
    block.keyField = text("MemberID");
    block.rows = {{QueryRole::Card, memberRow()},
                  {QueryRole::CardValue, cardValueLogRow({"MemberID", "MemberName", "IdCard", "CZ",
                                                          mainRow(text("SumMoney"))})}};
    block.cleanUpBatches = cleanUpBatches();
    block.reconciliations = {
        cardTypesReconciliation(text(" Update HY_Member Set        CardTypeID='"))};
    block.completionMessage = text("充值卡执行完毕!");
    return {{block}};
}

} // namespace kestrel
