#pragma once

#include <QString>

namespace kestrel {

// The template file an import opens: the given file name in the folder when it is there;
// otherwise the first of the same base name with ".xlsx", ".xlsm", ".ods" that is there (a
// template re-saved in a newer format); otherwise the given name, so that the error names the
// file the import asks for.
QString findTemplate(const QString& folder, const QString& fileName);

} // namespace kestrel
