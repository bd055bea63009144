#include "run/template_verify.h"

#include "database/database.h"
#include "database/db_sql_text.h"
#include "run/import_definition.h"
#include "run/template_lookup.h"
#include "workbook/workbook.h"

#include <algorithm>

namespace kestrel {

namespace {

VerifyResult verifyBlock(const BlockDefinition& block, RunContext& context) {
    Query main(context.database);
    main.setSql(block.mainStatement);
    main.open();
    // The key column is read on the connection's worker thread while the template is opened.
    main.prepareLocate(block.keyField);
    const QString path = findTemplate(context.templateFolder, block.templateFile);
    const std::unique_ptr<Workbook> book =
        context.openWorkbook ? context.openWorkbook(path) : openWorkbook(path);

    VerifyResult result;
    result.templatePath = path;
    result.worksheet = block.worksheet;
    const int lastRow = book->lastRow(block.worksheet);
    result.worksheetName = book->worksheetName(block.worksheet);
    result.table = selectedTable(block.mainStatement);
    result.keyField = block.keyField;
    for (int row = 2; row <= lastRow; ++row) {
        const QString key = cellText(*book, block.worksheet, row, block.keyColumn, context.locale);
        if (!main.locate(block.keyField, key))
            result.missing.append({row, key});
    }
    result.rows = std::max(0, lastRow - 1);
    return result;
}

} // namespace

QList<VerifyResult> verifyImport(const ImportDefinition& definition, RunContext& context,
                                 std::optional<ImportKind> kind) {
    context.database.setLocale(context.locale);
    QList<VerifyResult> results;
    for (const BlockDefinition& block : definition.blocks) {
        VerifyResult result = verifyBlock(block, context);
        if (kind)
            result.importName = importEntry(*kind).commandName;
        result.block = int(results.size()) + 1;
        result.blockCount = int(definition.blocks.size());
        results.append(result);
    }
    return results;
}

} // namespace kestrel
