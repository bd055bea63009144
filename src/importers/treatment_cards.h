#pragma once

#include "run/import_definition.h"

namespace kestrel {

// 疗程次卡导入: treatment count cards from "青雁疗程次卡模板.xls" into HY_JiCiCardDetail
// (CardGroupID "JiCiCard"), with an opening row in HY_CardValueOpLog and one in the usage log
// HY_JiCiCardLog per new card, then one clean-up batch and the card types.
ImportDefinition treatmentCardImport();

} // namespace kestrel
