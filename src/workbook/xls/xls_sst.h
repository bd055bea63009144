#pragma once

#include "workbook/text_pool.h"
#include "workbook/xls/xls_records.h"

#include <span>
#include <vector>

namespace kestrel::xls {

// Reads the shared string table (the SST record and its CONTINUE records) and adds its strings
// to out. A count larger than the strings present is tolerated, as some writers get it wrong; a
// string cut off in the middle is damage.
void readSharedStrings(std::span<const Fragment> fragments, TextPool& out);

} // namespace kestrel::xls
