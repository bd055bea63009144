#pragma once

#include "run/category_keys.h"
#include "run/row_fields.h"
#include "run/run_observer.h"

#include <QList>
#include <QString>

namespace kestrel {

class Database;

// One follow-up update run for every category created: head, the new key, "'", where, then the
// new name as a quoted literal.
struct FollowUpTemplate {
    QString head;  // " Update HY_Member Set        CardTypeID='"
    QString where; // " Where  CardTypeName="
};

// Makes every category named in imported rows exist in its category table and writes the keys
// of the new categories back into the rows that carry their names.
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
// The follow-up statement for one new category.
QString followUpStatement(const FollowUpTemplate& followUp, const QString& key,
                          const QString& name);

// Runs one instance on the database. Throws DatabaseError (and kestrel::Error when no key of the
// instance's form is free).
void reconcile(const ReconciliationInstance& instance, Database& database,
               const BranchIdentity& identity, CategoryKeyGenerator& keys);

} // namespace kestrel
