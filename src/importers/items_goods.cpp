#include "importers/items_goods.h"

#include "importers/check_rules.h"

namespace kestrel {

namespace {

using namespace checks;

// The first four columns of both worksheets, with the same messages.
QList<ColumnCheck> namingChecks() {
    return {
        notEmpty(1, "行的项目类型名不能为空!"),
        notEmpty(2, "行的项目编码不能为空!"),
        notEmpty(3, "行的项目名称不能为空!"),
        notEmpty(4, "行的单位不能为空!"),
    };
}

// Number-like columns are only tested for emptiness: a text the column refuses fails when the
// row is posted.
QList<ColumnCheck> itemChecks() {
    return namingChecks() +
           QList<ColumnCheck>{
               textWhenEmpty(5, "0"),  textWhenEmpty(6, "0"),  yesNoFlag(7, "n"),
               yesNoFlag(8, "n"),      yesNoFlag(9, "n"),      textWhenEmpty(10, "0"),
               textWhenEmpty(11, "0"), textWhenEmpty(12, "0"), yesNoFlag(13, "n"),
               textWhenEmpty(14, "0"), yesNoFlag(15, "n"),     yesNoFlag(16, "n"),
               yesNoFlag(17, "n"),     textWhenEmpty(18, "1"),
           };
}

QList<ColumnCheck> goodsChecks() {
    return namingChecks() +
           QList<ColumnCheck>{
               textWhenEmpty(5, "0"), textWhenEmpty(6, "0"), yesNoFlag(7, "n"),
               yesNoFlag(8, "n"),     textWhenEmpty(9, "0"), yesNoFlag(10, "n"),
               yesNoFlag(11, "n"),    yesNoFlag(12, "n"),    textWhenEmpty(13, "1"),
           };
}

FieldList itemRow() {
    FieldList row;
    row.set("DishSN", templateColumn(2))
        .set("DishName", templateColumn(3))
        .set("HotelID", branchNumber())
        .text({"MokuanID"}, "SN")
        .empty({"DishTypeSN"})
        .set("DishTypeName", templateColumn(1))
        .set("UnitID", templateColumn(4))
        .set("Price", templateColumn(6))
        .text({"JzPrice"}, "0")
        .set("IsMarketPrice", templateColumn(15))
        .set("Chengben", templateColumn(5))
        .empty({"ProducePartID", "DlProducePartID"})
        .set("IsAgio", templateColumn(17))
        .set("LowerAgioRate", templateColumn(18))
        .text({"AgioRate"}, "1")
        .text({"ShowOrder"}, "0")
        .set("isGive", templateColumn(7))
        .empty({"Memo", "Pinyinma", "Specs"})
        .text({"RealNumber"}, "0")
        .text({"isWithOut", "isCpPrint", "isDlPrint", "isPriceByUnit", "isMulDemo"}, "n")
        .set("isSaleTc", templateColumn(13))
        .set("SaleTcMoney", templateColumn(14))
        .text({"isCanCleft", "isServerMoney"}, "n")
        .text({"WithOutNumber"}, "0")
        .text({"isStop", "isEpiboly", "isGifts", "isTeaItem"}, "n")
        .text({"GrossProfitRate"}, "0")
        .text({"isZdControl", "isNeedWaiter"}, "n")
        .set("isNeedRoom", templateColumn(8))
        .set("isTime", templateColumn(9))
        .set("TimeMuch", templateColumn(10))
        .text({"isPercent"}, "n")
        .text({"Percentage", "DzPercentage", "KzPercentage", "JzPercentage"}, "0")
        .text({"isPhone", "isShowImg"}, "n")
        .empty({"HotKey"})
        .text({"isJoinLowerXF"}, "n")
        .text({"DzJzPercentage", "KzJzPercentage"}, "0")
        .text({"isShowOnCMP", "isBindItem", "isChoiceWaiter", "isChoiceRoomBed"}, "n")
        .empty({"ReportTypeID", "ReportTypeName"})
        .text({"isChoicePlace"}, "n")
        .empty({"WaiterGroupID"})
        .text({"isShiftRule"}, "n")
        .text({"CnLpPercentage", "CwLpPercentage", "CnLpJzPercentage", "CwLpJzPercentage"}, "0")
        .text({"isChoiceSaler"}, "n")
        .set("ShiftNumber", templateColumn(11))
        .empty({"QxkAgioCode", "QxkAgioName"})
        .set("AddClockMinute", templateColumn(12))
        .empty({"TiaoMaCode", "Element"})
        .set("isJiFen", templateColumn(16))
        .text({"isAttachFee"}, "n")
        .text({"DlOverTimeMuch", "Page"}, "0")
        .empty({"ImageUrl", "sImageUrl", "CwKmID", "CwKmName"})
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

FieldList goodsRow() {
    const QString price = utf8("Price");
    FieldList row;
    row.set("GoodsID", templateColumn(2))
        .set("GoodsName", templateColumn(3))
        .empty({"GoodsTypeID"})
        .set("GoodsTypeName", templateColumn(1))
        .text({"isWater"}, "y")
        .empty({"Specs"})
        .set("ChengBen", templateColumn(5))
        .set("Price", templateColumn(6))
        .text({"HighNumber"}, "10000")
        .text({"LowerNumber"}, "1000")
        .text({"RealNumber"}, "0")
        .set("UnitID", templateColumn(4))
        .empty({"Pinyinma"})
        .text({"isStop", "isGoodsCleft", "isCanCleft"}, "n")
        .set("NowSalePrice", sameRow(price))
        .set("NowBuyPrice", sameRow(price))
        .set("NowAvgPrice", sameRow(price))
        .text({"SumMoney", "SaleSumMoney"}, "0")
        .text({"isZdControl", "isShowImg"}, "n")
        .text({"isInCY", "isInSN", "isInQP", "isInMR", "isInJSF", "isInHT", "isInDT", "isInMZ",
               "isInKF", "isInXMB", "isInYH", "isInXC", "isInJB"},
              "n")
        .set("HighPrice", sameRow(price))
        .set("LowerPrice", sameRow(price))
        .text({"isChainShop", "isHalfGoods"}, "n")
        .set("InUnitID", sameRow(utf8("UnitID")))
        .text({"InToKcBL"}, "1")
        .text({"UsefulLife", "WasteRate"}, "0")
        .empty({"TiaoMaCode", "Element"})
        .text({"ShowOrder", "Page"}, "0")
        .empty({"ImageUrl", "sImageUrl"})
        .text({"Select_Flag"}, "n")
        .empty({"Memo"})
        .text({"isTransfer", "isBackup"}, "n")
        .empty({"CwKmID", "CwKmName"});
    return row;
}

// The price row carries the branch number, but no group number or branch name.
FieldList priceRow() {
    FieldList row;
    row.set("GoodsID", templateColumn(2))
        .text({"MokuanID"}, "SN")
        .set("HotelID", branchNumber())
        .text({"isCpPrint", "isDlPrint"}, "n")
        .set("isAgio", templateColumn(12))
        .set("Price", templateColumn(6))
        .text({"AgioRate"}, "1")
        .set("LowerAgioRate", templateColumn(13))
        .text({"isServer"}, "n")
        .text({"ServerRate", "ServerMoney"}, "0")
        .set("isGive", templateColumn(7))
        .text({"isPercent"}, "n")
        .text({"PercentRate", "PercentAge"}, "0")
        .set("isSaleTc", templateColumn(8))
        .text({"SaleTcRate"}, "0")
        .set("SaleTcMoney", templateColumn(9))
        .text({"isServerMoney"}, "n")
        .empty({"ProducePartID", "DlProducePartID"})
        .text({"isStop", "isEpiboly", "isGifts", "isTeaItem"}, "n")
        .empty({"HotKey"})
        .text({"isJoinLowerXF", "isShowOnCMP"}, "n")
        .set("isMarketPrice", templateColumn(10))
        .text({"isBindItem", "isPhone"}, "n")
        .empty({"ReportTypeName"})
        .text({"isChoicePlace"}, "n")
        .empty({"ReportTypeID"})
        .text({"isChoiceSaler", "isChainShop", "isPriceByUnit"}, "n")
        .empty({"QxkAgioCode", "QxkAgioName"})
        .set("isJiFen", templateColumn(11))
        .text({"isAttachFee", "isDoorTicket", "isShowImg"}, "n")
        .text({"DlOverTimeMuch"}, "0")
        .text({"isPromotion"}, "n")
        .text({"Page", "JiFenValue"}, "0")
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

BlockDefinition itemsBlock() {
    BlockDefinition block;
    block.templateFile = itemsGoodsTemplateFile();
    block.worksheet = 1;
    block.keyColumn = 2;
    block.captionMiddle = utf8("记录,项目编码：");
    block.checks = itemChecks();
    block.mainStatement = utf8("Select * From CY_DishDetail");
    block.keyField = utf8("DishSN");
    block.rows = {{QueryRole::Card, itemRow()}};
    block.reconciliations = {itemTypesReconciliation(), itemUnitsReconciliation()};
    block.completionMessage = utf8("项目资料执行完毕!");
    return block;
}

BlockDefinition goodsBlock() {
    BlockDefinition block;
    block.templateFile = itemsGoodsTemplateFile();
    block.worksheet = 2;
    block.keyColumn = 2;
    block.captionMiddle = utf8("记录,项目编码：");
    block.checks = goodsChecks();
    block.mainStatement = utf8("Select * From CK_Goods");
    block.keyField = utf8("GoodsID");
    block.importPassOpenings = {{QueryRole::CardValue, utf8("Select * From CK_WaterPrice")}};
    block.rows = {{QueryRole::Card, goodsRow()}, {QueryRole::CardValue, priceRow()}};
    block.reconciliations = {goodsTypesReconciliation(), goodsUnitsReconciliation()};
    block.completionMessage = utf8("吧台库存项目执行完毕!");
    return block;
}

} // namespace

QString itemsGoodsTemplateFile() {
    return utf8("青雁营业项目资料模板.xls");
}

ImportDefinition itemsGoodsImport() {
    return {{itemsBlock(), goodsBlock()}};
}

} // namespace kestrel
