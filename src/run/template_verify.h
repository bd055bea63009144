#pragma once

#include "run/import_run.h"

#include <QList>
#include <QString>
#include <optional>

namespace kestrel {

// A template row whose key the database lacks.
struct MissingRow {
    int row = 0; // the worksheet row
    QString key;
};

// What one block's template holds that its table lacks.
struct VerifyResult {
    QString importName; // the command name; empty for a bare description
    int block = 1;
    int blockCount = 1;
    QString templatePath;
    int worksheet = 1;
    QString worksheetName;
    QString table;    // searched ...
    QString keyField; // ... in this column
    int rows = 0;     // data rows of the worksheet
    QList<MissingRow> missing;
};

// Reads the template of every block and looks each data row's key up in the block's main table
// as the import pass does (the same statement, the whole value, letter case ignored). Uses of
// the context: database, templateFolder, locale and openWorkbook. Opens no transaction and
// writes nothing. Throws kestrel::Error (a template that cannot be read, a database error).
QList<VerifyResult> verifyImport(const ImportDefinition& definition, RunContext& context,
                                 std::optional<ImportKind> kind = std::nullopt);

} // namespace kestrel
