#pragma once

#include "run/import_definition.h"

namespace kestrel {

// 积分卡导入: points cards from "青雁积分卡模板.xls" into HY_JFAgioCardDetail, with one opening
// row in HY_CardValueOpLog per new card, then the card-table clean-up and the card types.
ImportDefinition pointsCardImport();

} // namespace kestrel
