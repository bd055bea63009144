#include "importers/treatment_cards.h"

#include "importers/card_fields.h"

namespace kestrel {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The opening usage-log row carries the whole number of treatments, with no service item.
FieldList usageLogRow() {
    FieldList row;
    row.set("HotelTreeID", groupNumber())
        .set("HotelID", branchNumber())
        .text({"MokuanID"}, "SN")
        .text({"OpTypeFlag"}, "CZ")
        .text({"CardGroupID"}, "JiCiCard")
        .set("CardCode", mainRow(text("CardCode")))
        .empty({"ItemID", "ItemName"})
        .set("Times", mainRowNumber(text("CanXFTimes")))
        .text({"CheckoutDate"}, "1999-01-01")
        .text({"BanCiName"}, "导入")
        .text({"CreateDateTime"}, "1999-01-01")
        .text({"Operator"}, "青雁人")
        .text({"Memo"}, "导入")
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

// One batch: the card-table clean-up, then CalTimes raised to the card's count.
QStringList cleanUpBatch() {
    QStringList batch = cardTableCleanUp("HY_JiCiCardDetail");
    batch.append(text(" Update HY_JiCiCardDetail Set CalTimes=CanXFTimes Where  "
                      "CardGroupID='JiCiCard' And    CalTimes<=0"));
    return batch;
}

} // namespace

ImportDefinition treatmentCardImport() {
    BlockDefinition block;
    block.templateFile = text("青雁疗程次卡模板.xls");
    block.worksheet = 1;
    block.keyColumn = 2;
    block.captionMiddle = text("记录,卡芯号：");
    block.preparatory = {cardValueLogOpening()};
    block.checks = countCardChecks();
    block.mainStatement = text(" Select * From HY_JiCiCardDetail Where CardGroupID='JiCiCard'");
    block.keyField = text("CardCode");
    block.importPassOpenings = {{QueryRole::CkLog, text(" Select * From HY_JiCiCardLog")}};
    block.rows = {{QueryRole::Card, countCardRow("JiCiCard")},
                  {QueryRole::CardValue, cardValueLogRow({"CardCode", "ClientName", "JiCiCard",
                                                          "CZ", mainRow(text("CanXFTimes"))})},
                  {QueryRole::CkLog, usageLogRow()}};
    block.cleanUpBatches = {cleanUpBatch()};
    block.reconciliations = {
        cardTypesReconciliation(text(" Update HY_JiCiCardDetail Set        CardTypeID='"))};
    block.completionMessage = text("疗程次卡执行完毕!");
    return {{block}};
}

} // namespace kestrel
