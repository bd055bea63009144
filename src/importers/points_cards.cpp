#include "importers/points_cards.h"

#include "importers/card_fields.h"
#include "importers/check_rules.h"

namespace kestrel {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Unlike the stored-value layout there is no money column, the client name is required, a
// card is valid for 1095 days by default and a short-message flag other than y or n stops the
// import.
QList<ColumnCheck> columnChecks() {
    return {
        checks::notEmpty(1, "行的卡类型名不能为空!"),
        checks::notEmpty(2, "行的卡芯编号不能为空!"),
        checks::copyWhenEmpty(3, 2),
        blankOutFlagCheck(4),
        checks::readOnly(5),
        checks::numberOrZero(6, "行的卡中积分请重输!"),
        checks::dateOrDefault(7, "行的有效日期请重输!", CellDefault::todayPlusDays(1095)),
        checks::dateOrDefault(8, "行的发卡日期请重输!", CellDefault::todayPlusDays(0)),
        checks::readOnly(9),
        checks::readOnly(10),
        checks::notEmpty(11, "行的客人姓名不能为空!"),
        sexCheck(12),
        checks::readOnly(13),
        checks::allowedOrDefault(14, {text("y"), text("n")}, "y", "行的允许发短信请重输!"),
        checks::dateOrDefault(15, "行的客生日请重输!", CellDefault::ofText(text("1990-01-01"))),
        checks::readOnly(16),
        checks::readOnly(17),
        checks::readOnly(18),
    };
}

FieldList cardRow() {
    FieldList row;
    row.set("HotelTreeID", groupNumber())
        .set("CardCode", templateColumn(2))
        .set("CardName", templateColumn(3))
        .set("ClientName", templateColumn(11))
        .set("Phone", templateColumn(13))
        .set("Address", templateColumn(17))
        .set("PostCode", templateColumn(16))
        .set("Sex", templateColumn(12))
        .set("Birthday", templateColumn(15))
        .set("JiFen", templateColumn(6))
        .text({"AgioRate"}, "1")
        .set("CreateDate", templateColumn(8))
        .set("EndDate", templateColumn(7))
        .set("isBlankOut", templateColumn(4))
        .text({"XfSumMoney"}, "0")
        .text({"isCalJiFenAndAgio"}, "y")
        .empty({"GdCardNo"})
        .set("CardTypeName", templateColumn(1))
        .text({"isAttach"}, "y")
        .text({"CalTimes"}, "0")
        .empty({"CardTypeID"})
        .set("HotelID", branchNumber())
        .text({"QtdXfMoney", "QtdJiFen"}, "0")
        .set("HotelName", branchName())
        .set("StartDate", templateColumn(8))
        .text({"Memo"}, "导入")
        .empty({"SalerCode", "SalerName", "PrvRealDate"})
        .set("AdviserCode", templateColumn(10))
        .set("AdviserName", templateColumn(10))
        .empty({"XingZuo", "ShuXiang", "XuXing", "HeightBMI", "SanWeiDu", "XuYa", "MaiBo",
                "ClientTypeID", "ClientTypeName", "QQCode", "MSNCode", "EmailCode", "Fax", "ZhiYe"})
        .text({"PaperTypeID"}, "身份证")
        .set("PaperTypeName", templateColumn(18))
        .empty({"HomePhone", "LifeXiGuan"})
        .text({"Operator"}, "青雁人")
        .empty({"JiGuan", "CarCode", "ChengHu", "XinYang", "JinJi", "XingQHH", "MokuanID",
                "ZkZhiWenOne", "ZkZhiWenTwo", "ZkZhiWenThree", "ZkZhiWenFour"})
        .set("RepeatPassword", templateColumn(5))
        .set("CardPassword", templateColumn(5))
        .text({"Age"}, "0")
        .set("CardEndDate", sameRow(text("CreateDate")))
        .empty({"MingZu", "CardFZJG", "FkLsh"})
        .text({"isZdFk", "isGiveCard"}, "n")
        .text({"FpMoney"}, "0")
        .text({"isSend"}, "y")
        .text({"XFTimes", "GiveDays"}, "0")
        .set("isSendMsg", templateColumn(14))
        .empty({"PrvComCallDate", "PrvRevisitDate"})
        .text({"MarriedDate"}, "1980-01-01")
        .empty({"OpenID", "YuETxDate", "GuoQiTxDate", "JiFenTxDate", "WddTxDate", "FaceID"})
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

} // namespace

ImportDefinition pointsCardImport() {
    BlockDefinition block;
    block.templateFile = text("青雁积分卡模板.xls");
    block.worksheet = 1;
    block.keyColumn = 2;
    block.captionMiddle = text("记录,卡芯号：");
    block.preparatory = {cardValueLogOpening()};
    block.checks = columnChecks();
    block.mainStatement = text("Select * From HY_JFAgioCardDetail");
    block.keyField = text("CardCode");
    block.rows = {{QueryRole::Card, cardRow()},
                  {QueryRole::CardValue, cardValueLogRow({"CardCode", "ClientName", "JiFenCard",
                                                          "JF", constantText("0")})}};
    for (const QString& statement : cardTableCleanUp("HY_JFAgioCardDetail"))
        block.cleanUpBatches.append(QStringList{statement});
    block.reconciliations = {
        cardTypesReconciliation(text(" Update HY_JFAgioCardDetail Set        CardTypeID='"))};
    block.completionMessage = text("积分卡执行完毕!");
    return {{block}};
}

} // namespace kestrel
