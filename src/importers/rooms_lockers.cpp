#include "importers/rooms_lockers.h"

#include "importers/check_rules.h"

namespace kestrel {

namespace {

using namespace checks;

QList<ColumnCheck> roomChecks() {
    return {
        notEmpty(1, "行的房间类型名不能为空!"),
        notEmpty(2, "行的房号不能为空!"),
        notEmpty(3, "行的房名不能为空!"),
        // A filled bed count is not tested: a text the column refuses fails when posted.
        textWhenEmpty(4, "1"),
    };
}

QList<ColumnCheck> lockerTagChecks() {
    return {
        notEmpty(1, "行的锁牌类型名不能为空!"),
        notEmpty(2, "行的锁牌号不能为空!"),
        notEmpty(3, "行的锁牌名不能为空!"),
        classify(4, {QString(), utf8("男"), utf8("男宾")}, "男宾", "女宾"),
        readOnly(5),
        readOnly(6),
    };
}

FieldList roomRow() {
    FieldList row;
    row.set("RoomDetailSN", templateColumn(2))
        .set("RoomDetailName", templateColumn(3))
        .empty({"DiningRoomSN"})
        .set("DiningRoomName", templateColumn(1))
        .text({"Status"}, "0")
        .text({"isStop"}, "n")
        .set("BedNumber", templateColumn(4))
        .text({"UseBedNumber"}, "0")
        .text({"isPhone"}, "n")
        .empty({"Phone"})
        .text({"isBindItem"}, "n")
        .empty({"BindItemID", "BindItemName"})
        .text({"BindItemTypeFlag"}, "NOR")
        .empty({"Memo"})
        .text({"isDkxControl"}, "n")
        .text({"DkxLightNo"}, "0")
        .empty({"isSNRoomBed", "IpAddress", "CardSN", "UpCode", "RoomCardNo", "WarehouseID"})
        .text({"ImgLst", "DsplyType", "ImgDsplySit", "DsplyColor", "Width", "Hight", "Width800",
               "Hight800", "DsplyType800"},
              "0")
        .text({"isTransfer", "isBackup"}, "n");
    return row;
}

FieldList lockerTagRow() {
    FieldList row;
    row.set("HandBrandSN", templateColumn(2))
        .set("HandBrandName", templateColumn(3))
        .text({"Status"}, "0")
        .set("HandSex", templateColumn(4))
        .empty({"HandTypeID"})
        .set("HandTypeName", templateColumn(1))
        .text({"isBindItem"}, "n")
        .empty({"BindItemID", "BindItemName"})
        .text({"BindItemTypeFlag"}, "NOR")
        .set("IcHandCardCode", templateColumn(6))
        .set("HandCardCode", templateColumn(5))
        .text({"isStop"}, "n")
        .text({"ShowOrder"}, "0")
        .empty({"Memo"})
        // Unlike the room row, the locker tag row leaves these two flags empty.
        .empty({"isTransfer", "isBackup"});
    return row;
}

BlockDefinition roomsBlock() {
    BlockDefinition block;
    block.templateFile = roomsLockersTemplateFile();
    block.worksheet = 1;
    block.keyColumn = 2;
    block.captionMiddle = utf8("记录,房号：");
    block.checks = roomChecks();
    block.mainStatement = utf8("Select * From SN_RoomDetail");
    block.keyField = utf8("RoomDetailSN");
    block.rows = {{QueryRole::Card, roomRow()}};
    block.reconciliations = {roomAreasReconciliation()};
    block.completionMessage = utf8("锁牌房号执行完毕!");
    return block;
}

BlockDefinition lockerTagsBlock() {
    BlockDefinition block;
    block.templateFile = roomsLockersTemplateFile();
    block.worksheet = 2;
    block.keyColumn = 2;
    block.captionMiddle = utf8("记录,锁牌号：");
    block.checks = lockerTagChecks();
    block.mainStatement = utf8("Select * From SN_HandBrand");
    block.keyField = utf8("HandBrandSN");
    block.rows = {{QueryRole::Card, lockerTagRow()}};
    block.reconciliations = {lockerTagTypesReconciliation()};
    block.completionMessage = utf8("锁牌房号执行完毕!");
    return block;
}

} // namespace

QString roomsLockersTemplateFile() {
    return utf8("青雁锁牌房间资料模板.xls");
}

ImportDefinition roomsLockersImport() {
    return {{roomsBlock(), lockerTagsBlock()}};
}

} // namespace kestrel
