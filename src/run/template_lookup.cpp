#include "run/template_lookup.h"

#include <QDir>
#include <QFileInfo>

namespace kestrel {

QString findTemplate(const QString& folder, const QString& fileName) {
    const QDir dir(folder);
    const QString named = dir.filePath(fileName);
    if (QFileInfo(named).isFile())
        return named;
    const QString base = QFileInfo(fileName).completeBaseName();
    for (const char* suffix : {".xlsx", ".xlsm", ".ods"}) {
        const QString candidate = dir.filePath(base + QLatin1String(suffix));
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return named;
}

} // namespace kestrel
