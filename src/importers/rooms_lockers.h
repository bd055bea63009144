#pragma once

#include "run/import_definition.h"

namespace kestrel {

// 锁牌房号导入: two blocks on "青雁锁牌房间资料模板.xls": the rooms of worksheet 1 into
// SN_RoomDetail with the room areas, then the locker tags of worksheet 2 into SN_HandBrand with
// the locker tag types.
ImportDefinition roomsLockersImport();
QString roomsLockersTemplateFile();

} // namespace kestrel
