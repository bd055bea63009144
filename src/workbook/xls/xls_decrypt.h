#pragma once

#include <QByteArray>

namespace kestrel::xls {

// A workbook stream with a FILEPASS record is encrypted. Excel opens one without asking when it
// was encrypted under its built-in password "VelvetSweatshop" with RC4 (the standard 40-bit
// scheme of Excel 97-2003); such a stream is given back decrypted. Any other password or
// scheme throws FormatError Encrypted. A stream without FILEPASS comes back unchanged.
QByteArray decryptWithDefaultPassword(const QByteArray& stream);

} // namespace kestrel::xls
