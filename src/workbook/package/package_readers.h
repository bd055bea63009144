#pragma once

#include "workbook/package/package_cells.h"

namespace kestrel::package {

class ZipPackage;

// An Office Open XML workbook (.xlsx, .xlsm; transitional or Strict). Throws PackageError.
ParsedPackage readOfficeOpenXml(const ZipPackage& zip);
// An OpenDocument spreadsheet (.ods). Throws PackageError.
ParsedPackage readOpenDocument(const ZipPackage& zip);

// Whether the package holds an Office Open XML workbook or an OpenDocument spreadsheet.
bool isOfficeOpenXml(const ZipPackage& zip);
bool isOpenDocument(const ZipPackage& zip);

// Decodes the _xHHHH_ escapes Office writes for characters XML cannot hold.
QString decodeOfficeEscapes(std::string_view text);
// Adds a text of the workbook, escapes decoded, to the pool; gives its index. A repeated text
// may be kept once (TextPool::addRepeated).
std::uint32_t addOfficeText(TextPool& pool, std::string_view text, bool repeated);

} // namespace kestrel::package
