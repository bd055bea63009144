#pragma once

#include "run/reconciliation.h"
#include "run/row_fields.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel {

// A value a check writes into a cell of the open workbook (never saved).
struct CellDefault {
    enum class Kind { Text, Number, TodayPlusDays, CopyOfColumn };
    Kind kind = Kind::Text;
    QString text;      // Text
    double number = 0; // Number
    int days = 0;      // TodayPlusDays: written as "yyyy-mm-dd"
    int column = 0;    // CopyOfColumn: the text of that column of the same row

    static CellDefault ofText(const QString& value) { return {Kind::Text, value, 0, 0, 0}; }
    static CellDefault ofNumber(double value) { return {Kind::Number, {}, value, 0, 0}; }
    static CellDefault todayPlusDays(int count) { return {Kind::TodayPlusDays, {}, 0, count, 0}; }
    static CellDefault copyOfColumn(int source) { return {Kind::CopyOfColumn, {}, 0, 0, source}; }
};

// One check of the checking pass on one template column. Comparisons with allowed texts are
// exact, letter case included; "empty" is the text of length zero (texts are not trimmed).
struct ColumnCheck {
    enum class Rule {
        ReadOnly,                    // read (an error cell still ends the run), nothing checked
        NotEmpty,                    // empty fails with tail
        DefaultWhenEmpty,            // empty gets fallback; anything else is left alone
        ReplaceUnlessAllowed,        // a text not in allowed (empty included) becomes fallback
        DefaultWhenEmptyElseAllowed, // empty gets fallback; a text not in allowed fails
        NumberOrDefault,             // empty gets fallback; a text that is no number fails
        DateOrDefault,               // empty gets fallback; a text that is no date fails
        Classify,                    // always rewritten: fallback when in allowed, else otherwise
    };

    int column = 0;
    Rule rule = Rule::ReadOnly;
    QString tail; // the row message is "第", the row number, then this
    QStringList allowed;
    CellDefault fallback;
    CellDefault otherwise;
};

// The queries a block uses besides the category queries of the reconciliation.
enum class QueryRole {
    Card,      // the main table of the block (qryCard)
    CardValue, // a second table written beside it (qryCardValue)
    CkLog,     // the count-card usage log (qryCkLog)
};

struct QueryOpening {
    QueryRole role;
    QString statement;
};

// A row written for each new template row: appended on the query of its role, then posted.
struct WrittenRow {
    QueryRole role;
    FieldList fields;
};

// One block of an import: one worksheet, its two passes, clean-up and reconciliation.
struct BlockDefinition {
    QString templateFile;
    int worksheet = 1;
    int keyColumn = 0;
    QString captionMiddle; // "当前第", row minus 1, this, the key text

    QList<QueryOpening> preparatory; // opened before the template is opened
    QList<ColumnCheck> checks;       // in column order

    QString mainStatement;                  // the whole main table, on QueryRole::Card
    QString keyField;                       // the main table's column searched for the key
    QList<QueryOpening> importPassOpenings; // opened after the main table
    QList<WrittenRow> rows;                 // the first is the main row, on QueryRole::Card

    // Each batch is one execution: its statements joined by one blank on SQL Server.
    QList<QStringList> cleanUpBatches;
    QList<ReconciliationInstance> reconciliations;
    QString completionMessage;
};

// One button's import: one block, or two run one after the other in the same click.
struct ImportDefinition {
    QList<BlockDefinition> blocks;
};

} // namespace kestrel
