#pragma once

#include <QByteArray>

namespace kestrel::xls {

// Gives the BIFF workbook stream of an .xls file: the stream "Workbook" (or "Book" from Excel
// 5/95 and some exporters, in any letter case) in the root storage of the OLE2 compound file.
// A bare BIFF5/8 stream without a container is accepted as it is. A stream whose sectors follow
// each other in the file (as writers save them) is given without a copy: it refers to file's
// bytes, which must outlive it. Throws FormatError.
QByteArray extractWorkbookStream(const QByteArray& file);

} // namespace kestrel::xls
