#pragma once

#include "run/import_definition.h"

namespace kestrel {

// 充值卡导入: stored-value member cards from "青雁充值卡模板.xls" into HY_Member, with one opening
// row in HY_CardValueOpLog per new card, then the member clean-up and the card types.
ImportDefinition storedValueImport();
QString storedValueTemplateFile();

} // namespace kestrel
