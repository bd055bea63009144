#pragma once

#include "run/import_definition.h"

namespace kestrel {

// 员工资料导入: employees from "青雁员工资料模板.xls" into HR_Employe, then the employee types and
// the departments.
ImportDefinition employeesImport();
QString employeesTemplateFile();

} // namespace kestrel
