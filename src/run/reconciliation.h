#pragma once

#include "run/category_keys.h"
#include "run/row_fields.h"
#include "run/run_observer.h"

#include <QList>
#include <QString>

namespace kestrel {

class Database;

// One follow-up update run for every category reconciled: head, the key, "'", where, then the
// name as a quoted literal. It fills only rows whose key column is empty, so that rows of the
// same name that carry a key of their own keep it.
struct FollowUpTemplate {
    QString head;      // " Update HY_Member Set        CardTypeID='"
    QString where;     // " Where  CardTypeName="
    QString keyColumn; // the column the head sets: "CardTypeID"
};

// Makes every category named in imported rows exist in its category table and writes the keys
// back into the rows that carry their names. A pair without a key is looked up by name: an
// existing category gives its key and none is created.
struct ReconciliationInstance {
    QString categoryTable;     // for messages: "HY_CardType"
    QString categoryStatement; // " Select * From HY_CardType"
    QString pairsStatement;    // a DISTINCT select of (key, name) pairs, or of unit names
    QString lookupColumn;      // the category column searched ...
    QString pairLookupColumn;  // ... for the text of this pair column
    QString pairKeyColumn;     // empty: the key is always generated
    QString pairNameColumn;
    QString keyColumn;  // of the category table
    QString nameColumn; // of the category table
    CategoryKeyForm keyForm;
    FieldList leadingFields; // set before the key
    FieldList fixedFields;   // set after the name
    QList<FollowUpTemplate> followUps;
};

// A category a reconciliation created, or found by name for rows that named it without a key.
struct ReconciledCategory {
    QString key;
    QString name;
};

struct ReconciliationRecord {
    QString categoryTable;
    QList<ReconciledCategory> created;
    QList<ReconciledCategory> reused;
};

// The nine instances. The card-type instance takes the follow-up head of the card table the
// running card import writes (" Update HY_Member Set        CardTypeID='").
ReconciliationInstance cardTypesReconciliation(const QString& cardTableHead);
ReconciliationInstance roomAreasReconciliation();
ReconciliationInstance lockerTagTypesReconciliation();
ReconciliationInstance itemTypesReconciliation();
ReconciliationInstance itemUnitsReconciliation();
ReconciliationInstance goodsTypesReconciliation();
ReconciliationInstance goodsUnitsReconciliation();
ReconciliationInstance employeeTypesReconciliation();
ReconciliationInstance departmentsReconciliation();

// The text between the quotes of an SQL string literal: every ' doubled.
QString sqlLiteralBody(const QString& text);
// The follow-up statement for one category, as its template gives it. With unicodeLiterals (SQL
// Server) the key and the name are N'...' literals, which reach the server whatever its code page.
QString followUpStatement(const FollowUpTemplate& followUp, const QString& key, const QString& name,
                          bool unicodeLiterals = false);
// The same, narrowed to the rows whose key column is empty (NULL or the empty text).
QString followUpFillingEmptyKeys(const FollowUpTemplate& followUp, const QString& key,
                                 const QString& name, bool unicodeLiterals = false);

// Runs one instance on the database and tells what it created and reused. Pairs with a key are
// handled first, in their order, then the pairs without one, so that these find a category of
// their name the others created. Throws DatabaseError (and kestrel::Error when no key of the
// instance's form is free).
ReconciliationRecord reconcile(const ReconciliationInstance& instance, Database& database,
                               const BranchIdentity& identity, CategoryKeyGenerator& keys);

} // namespace kestrel
