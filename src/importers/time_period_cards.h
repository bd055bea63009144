#pragma once

#include "run/import_definition.h"

namespace kestrel {

// 时段卡导入: time-period cards from "青雁时段卡模板.xls" into HY_JiCiCardDetail (CardGroupID
// "ShiDuanCard"), with one opening row in HY_CardValueOpLog per new card, then the count-card
// clean-up and the card types.
ImportDefinition timePeriodCardImport();

} // namespace kestrel
