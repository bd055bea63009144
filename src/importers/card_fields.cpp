#include "importers/card_fields.h"
#include "importers/check_rules.h"

namespace kestrel {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

ColumnCheck blankOutFlagCheck(int column) {
    return checks::replaceUnless(column, {text("y"), text("n"), text("g")}, "n");
}

ColumnCheck sexCheck(int column) {
    return checks::replaceUnless(column, {text("男"), text("女")}, "男");
}

FieldList cardValueLogRow(const ValueLogSources& sources) {
    FieldList row;
    row.empty({"CKSN"})
        .set("HotelTreeID", groupNumber())
        .set("HotelID", branchNumber())
        .set("HotelName", branchName())
        .text({"MokuanID"}, "SN")
        .set("CardCode", mainRow(text(sources.cardCodeColumn)))
        .set("CardFaceID", mainRow(text("CardName")))
        .text({"CardTypeID"}, sources.cardTypeId)
        .set("CardGroupID", mainRow(text("CardTypeID")))
        .set("CardGroupName", mainRow(text("CardTypeName")))
        .set("ClientName", mainRow(text(sources.clientNameColumn)))
        .text({"OpTypeFlag"}, sources.opTypeFlag)
        .text({"OldJiFenValue", "OldCardValue"}, "0")
        .set("JiFenValue", mainRow(text("JiFen")))
        .set("CardValue", sources.cardValue)
        .text({"ZsCardValue"}, "0")
        .set("NowJiFenValue", mainRow(text("JiFen")))
        .set("NowCardValue", sources.cardValue)
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

QueryOpening cardValueLogOpening() {
    return {QueryRole::CardValue, text("Select * From HY_CardValueOpLog")};
}

QStringList cardTableCleanUp(const char* table) {
    const QString update = text(" Update ") + text(table);
    return {
        update + text(" Set        CardPassword=''       ,RepeatPassword='' Where  CardPassword "
                      "is Null Or     CardPassword=''"),
        update + text(" Set        Phone='' Where  Phone is Null Or     Phone=''"),
        update + text(" Set        PapertypeName='' Where  PapertypeName is Null Or     "
                      "PapertypeName=''"),
    };
}

QList<ColumnCheck> countCardChecks() {
    return {
        checks::notEmpty(1, "行的卡类型名不能为空!"),
        checks::notEmpty(2, "行的卡芯编号不能为空!"),
        checks::notEmpty(3, "行的卡面编号不能为空!"),
        blankOutFlagCheck(4),
        checks::readOnly(5),
        checks::numberOrZero(6, "行的卡中次数请重输!"),
        checks::numberOrZero(7, "行的卡中积分请重输!"),
        checks::dateOrDefault(8, "行的有效日期请重输!", CellDefault::todayPlusDays(365)),
        checks::dateOrDefault(9, "行的发卡日期请重输!", CellDefault::todayPlusDays(0)),
        checks::readOnly(10),
        checks::readOnly(11),
        checks::notEmpty(12, "行的客人姓名不能为空!"),
        sexCheck(13),
        checks::readOnly(14),
        checks::allowedOrDefault(15, {text("y"), text("n")}, "y", "行的允许发短信请重输!"),
        checks::dateOrDefault(16, "行的客生日请重输!", CellDefault::ofText(text("1990-01-01"))),
        checks::readOnly(17),
        checks::readOnly(18),
        checks::readOnly(19),
    };
}

FieldList countCardRow(const char* cardGroupId) {
    FieldList row;
    row.set("HotelTreeID", groupNumber())
        .set("CardCode", templateColumn(2))
        .set("CardName", templateColumn(3))
        .set("ClientName", templateColumn(12))
        .set("Phone", templateColumn(14))
        .set("Address", templateColumn(18))
        .set("PostCode", templateColumn(17))
        .set("Sex", templateColumn(13))
        .set("Birthday", templateColumn(16))
        .text({"XFTimes", "SumMoney"}, "0")
        .set("CanXFTimes", templateColumn(6))
        .set("CreateDate", templateColumn(9))
        .set("EndDate", templateColumn(8))
        .set("isBlankOut", templateColumn(4))
        .text({"isCalJiFenAndAgio"}, "y")
        .text({"AgioRate"}, "1")
        .text({"isZheKouKa"}, "n")
        .text({"XFSumMoney"}, "0")
        .set("JiFen", templateColumn(7))
        .empty({"GdCardNo"})
        .set("CardTypeName", templateColumn(1))
        .text({"isAttach"}, "n")
        .text({"CalTimes"}, "0")
        .empty({"CardTypeID"})
        .set("HotelID", branchNumber())
        .text({"QtdXfMoney", "QtdJiFen"}, "0")
        .set("CardPassword", templateColumn(5))
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
        .text({"GiveDays"}, "0")
        .text({"CardGroupID"}, cardGroupId)
        .text({"TimesLimit", "TimesLimitMode"}, "0")
        .set("isSendMsg", templateColumn(15))
        .empty({"PrvComCallDate", "PrvRevisitDate"})
        .text({"MarriedDate"}, "1980-01-01")
        .empty({"OpenID", "YuETxDate", "GuoQiTxDate", "JiFenTxDate", "WddTxDate", "FaceID"})
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

} // namespace kestrel
