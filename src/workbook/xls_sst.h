#pragma once

#include "workbook/xls_records.h"

#include <QString>
#include <span>
#include <vector>

namespace kestrel::xls {

// Reads the shared string table (the SST record and its CONTINUE records) and appends its
// strings to out. A count larger than the strings present is tolerated, as some writers get it
// wrong; a string cut off in the middle is damage.
void readSharedStrings(std::span<const Fragment> fragments, std::vector<QString>& out);

} // namespace kestrel::xls
