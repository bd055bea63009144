#pragma once

#include "run/import_definition.h"

namespace kestrel {

// 沐足洗浴项目导入: two blocks on "青雁营业项目资料模板.xls": the bath and foot-spa service items
// of worksheet 1 into CY_DishDetail with their item types and units, then the bar stock goods of
// worksheet 2 into CK_Goods, one price row each in CK_WaterPrice, with their goods types and
// units.
ImportDefinition itemsGoodsImport();
QString itemsGoodsTemplateFile();

} // namespace kestrel
