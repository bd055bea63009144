#include "importers/time_period_cards.h"

#include "importers/card_fields.h"

namespace kestrel {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

ImportDefinition timePeriodCardImport() {
    BlockDefinition block;
    block.templateFile = text("青雁时段卡模板.xls");
    block.worksheet = 1;
    block.keyColumn = 2;
    block.captionMiddle = text("记录,卡芯号：");
    block.preparatory = {cardValueLogOpening()};
    block.checks = countCardChecks();
    block.mainStatement = text(" Select * From HY_JiCiCardDetail Where CardGroupID='ShiDuanCard'");
    block.keyField = text("CardCode");
    block.rows = {{QueryRole::Card, countCardRow("ShiDuanCard")},
                  {QueryRole::CardValue, cardValueLogRow({"CardCode", "ClientName", "ShiDuanCard",
                                                          "CZ", mainRow(text("CanXFTimes"))})}};
    for (const QString& statement : cardTableCleanUp("HY_JiCiCardDetail"))
        block.cleanUpBatches.append(QStringList{statement});
    block.reconciliations = {
        cardTypesReconciliation(text(" Update HY_JiCiCardDetail Set        CardTypeID='"))};
    block.completionMessage = text("时段卡执行完毕!");
    return {{block}};
}

} // namespace kestrel
