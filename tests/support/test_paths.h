#pragma once

#include <QString>

namespace kestrel::test {

inline QString sourceDir() {
    return QStringLiteral(KESTREL_SOURCE_DIR);
}
inline QString xlsCorpusDir() {
    return QStringLiteral(KESTREL_XLS_CORPUS_DIR);
}
inline QString sheetCorpusDir() {
    return QStringLiteral(KESTREL_SHEET_CORPUS_DIR);
}
inline QString binDir() {
    return QStringLiteral(KESTREL_BIN_DIR);
}

} // namespace kestrel::test
