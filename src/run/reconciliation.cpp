#include "run/reconciliation.h"

#include "database/database.h"
#include "run/row_writer.h"

#include <algorithm>

namespace kestrel {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

CategoryKeyForm drKey() {
    return {CategoryKeyForm::Prefix::Literal, text("DR"), 9, false};
}

CategoryKeyForm unitKey() {
    return {CategoryKeyForm::Prefix::Literal, QString(), 9, false};
}

// A category looked up by its key, with the key and name taken from the pair.
ReconciliationInstance keyedInstance(const char* table, const char* pairs, const char* keyColumn,
                                     const char* nameColumn) {
    ReconciliationInstance instance;
    instance.categoryTable = text(table);
    instance.categoryStatement = text(" Select * From ") + instance.categoryTable;
    instance.pairsStatement = text(pairs);
    instance.lookupColumn = text(keyColumn);
    instance.pairLookupColumn = text(keyColumn);
    instance.pairKeyColumn = text(keyColumn);
    instance.pairNameColumn = text(nameColumn);
    instance.keyColumn = text(keyColumn);
    instance.nameColumn = text(nameColumn);
    return instance;
}

// A unit looked up by its name; its key is always generated.
ReconciliationInstance unitInstance(const char* pairs) {
    ReconciliationInstance instance;
    instance.categoryTable = text("Sys_Unit");
    instance.categoryStatement = text(" Select * From Sys_Unit");
    instance.pairsStatement = text(pairs);
    instance.lookupColumn = text("UnitName");
    instance.pairLookupColumn = text("UnitID");
    instance.pairNameColumn = text("UnitID");
    instance.keyColumn = text("UnitID");
    instance.nameColumn = text("UnitName");
    instance.keyForm = unitKey();
    instance.fixedFields.text({"MokuanID"}, "SN").text({"isTransfer", "isBackup"}, "n");
    return instance;
}

FollowUpTemplate followUp(const char* head, const char* where, const char* keyColumn) {
    return {text(head), text(where), text(keyColumn)};
}

struct Pair {
    QString lookup;
    QString key;
    QString name;
};

QList<Pair> readPairs(const ReconciliationInstance& instance, Database& database) {
    Query pairs(database);
    pairs.close();
    pairs.setSql(instance.pairsStatement);
    pairs.open();
    QList<Pair> result;
    for (; !pairs.eof(); pairs.next()) {
        Pair pair;
        pair.lookup = pairs.fieldText(instance.pairLookupColumn);
        if (!instance.pairKeyColumn.isEmpty())
            pair.key = pairs.fieldText(instance.pairKeyColumn);
        pair.name = pairs.fieldText(instance.pairNameColumn);
        result.append(pair);
    }
    pairs.close();
    return result;
}

} // namespace

ReconciliationInstance cardTypesReconciliation(const QString& cardTableHead) {
    ReconciliationInstance instance = keyedInstance(
        "HY_CardType",
        " Select DISTINCT CardTypeID,CardTypeName From HY_Member Union Select DISTINCT "
        "CardTypeID,CardTypeName From HY_JiCiCardDetail Union Select DISTINCT "
        "CardTypeID,CardTypeName From HY_JFAgioCardDetail",
        "CardTypeID", "CardTypeName");
    instance.keyForm = {CategoryKeyForm::Prefix::BranchNumber, QString(), 9, true};
    instance.leadingFields.set("HotelTreeID", groupNumber());
    instance.fixedFields.set("HotelTreeID", groupNumber())
        .set("LevelID", constantNumber(1))
        .text({"isTransfer", "isBackup"}, "n");
    instance.followUps = {
        {cardTableHead, text(" Where  CardTypeName="), text("CardTypeID")},
        followUp(" Update HY_CardValueOpLog Set        CardGroupID='",
                 " Where  CardGroupName=", "CardGroupID"),
    };
    return instance;
}

ReconciliationInstance roomAreasReconciliation() {
    ReconciliationInstance instance = keyedInstance(
        "CY_DiningRoom", " Select DISTINCT DiningRoomSN,DiningRoomName From SN_RoomDetail",
        "DiningRoomSN", "DiningRoomName");
    instance.keyForm = drKey();
    instance.fixedFields.text({"MokuanID"}, "SN")
        .empty({"LocalPrintName", "LocalMzPrintName", "BarTaiID", "BarTaiName", "BaTaiPrintName",
                "HuJiaoPrintName"})
        .text({"isTransfer", "isBackup"}, "n");
    instance.followUps = {followUp(" Update SN_RoomDetail Set        DiningRoomSN='",
                                   " Where  DiningRoomName=", "DiningRoomSN")};
    return instance;
}

ReconciliationInstance lockerTagTypesReconciliation() {
    ReconciliationInstance instance =
        keyedInstance("SN_HandType", " Select DISTINCT HandTypeID,HandTypeName From SN_HandBrand",
                      "HandTypeID", "HandTypeName");
    instance.keyForm = drKey();
    instance.fixedFields.empty({"LocalPrintName"}).text({"isTransfer", "isBackup"}, "n");
    instance.followUps = {followUp(" Update SN_HandBrand Set        HandTypeID='",
                                   " Where  HandTypeName=", "HandTypeID")};
    return instance;
}

ReconciliationInstance itemTypesReconciliation() {
    ReconciliationInstance instance =
        keyedInstance("CY_DishType", " Select DISTINCT DishTypeSN,DishTypeName From CY_DishDetail",
                      "DishTypeSN", "DishTypeName");
    instance.keyForm = drKey();
    instance.fixedFields.text({"isSystem", "isStop"}, "n")
        .text({"ShowOrder"}, "0")
        .empty({"KeMuTreeID"})
        .text({"isTransfer"}, "n")
        .text({"MokuanID"}, "SN")
        .empty({"ParentDishTypeSN"})
        .text({"isBackup"}, "n");
    instance.followUps = {followUp(" Update CY_DishDetail Set        DishTypeSN='",
                                   " Where  DishTypeName=", "DishTypeSN")};
    return instance;
}

ReconciliationInstance itemUnitsReconciliation() {
    return unitInstance(" Select DISTINCT UnitID From CY_DishDetail");
}

ReconciliationInstance goodsTypesReconciliation() {
    ReconciliationInstance instance =
        keyedInstance("CK_GoodsType", " Select DISTINCT GoodsTypeID,GoodsTypeName From CK_Goods",
                      "GoodsTypeID", "GoodsTypeName");
    instance.keyForm = {CategoryKeyForm::Prefix::Literal, text("0000"), 4, false};
    instance.fixedFields.text({"TypeFlag"}, "YJL")
        .text({"isSystem"}, "y")
        .text({"isStop"}, "n")
        .text({"ShowOrder"}, "0")
        .empty({"KeMuTreeID", "HpHlpCode"})
        .text({"isTransfer", "isBackup", "isCpPrint"}, "n")
        .empty({"ProducePartID"})
        .text({"isDlPrint"}, "n")
        .empty({"DlProducePartID"});
    instance.followUps = {followUp(" Update CK_Goods Set        GoodsTypeID='",
                                   " Where  GoodsTypeName=", "GoodsTypeID")};
    return instance;
}

ReconciliationInstance goodsUnitsReconciliation() {
    return unitInstance(" Select DISTINCT UnitID From CK_Goods");
}

ReconciliationInstance employeeTypesReconciliation() {
    ReconciliationInstance instance = keyedInstance(
        "HR_EmployeType", " Select DISTINCT EmployeTypeID,EmployeTypeName From HR_Employe",
        "EmployeTypeID", "EmployeTypeName");
    instance.keyForm = drKey();
    instance.fixedFields.text({"isTransfer", "isBackup"}, "n");
    instance.followUps = {followUp(" Update HR_Employe Set        EmployeTypeID='",
                                   " Where  EmployeTypeName=", "EmployeTypeID")};
    return instance;
}

ReconciliationInstance departmentsReconciliation() {
    ReconciliationInstance instance = keyedInstance(
        "HR_Department", " Select DISTINCT DepartmentSN,DepartmentName From HR_Employe",
        "DepartmentSN", "DepartmentName");
    instance.keyForm = {CategoryKeyForm::Prefix::Literal, QString(), 3, false};
    instance.fixedFields.empty({"BmHlpCode", "DepartmentPhone", "Departmentower"})
        .set("HotelID", branchNumber())
        .text({"isTransfer", "isBackup"}, "n");
    instance.followUps = {followUp(" Update HR_Employe Set        DepartmentSN='",
                                   " Where  DepartmentName=", "DepartmentSN")};
    return instance;
}

QString sqlLiteralBody(const QString& value) {
    QString escaped = value;
    return escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString followUpStatement(const FollowUpTemplate& followUp, const QString& key, const QString& name,
                          bool unicodeLiterals) {
    const QString open = unicodeLiterals ? QStringLiteral("N'") : QStringLiteral("'");
    QString head = followUp.head;
    if (unicodeLiterals && head.endsWith(QLatin1Char('\'')))
        head.insert(head.size() - 1, QLatin1Char('N'));
    return head + sqlLiteralBody(key) + QLatin1Char('\'') + followUp.where + open +
           sqlLiteralBody(name) + QLatin1Char('\'');
}

QString followUpFillingEmptyKeys(const FollowUpTemplate& followUp, const QString& key,
                                 const QString& name, bool unicodeLiterals) {
    const QString& column = followUp.keyColumn;
    return followUpStatement(followUp, key, name, unicodeLiterals) + QStringLiteral(" And (") +
           column + QStringLiteral(" Is Null Or ") + column + QStringLiteral("='')");
}

namespace {

// The order pairs are handled in: those with a key first, then those without, each in the order
// the pairs statement gave them.
QList<qsizetype> keyedPairsFirst(const QList<Pair>& pairs) {
    QList<qsizetype> order;
    order.reserve(pairs.size());
    for (const bool keyed : {true, false}) {
        for (qsizetype index = 0; index < pairs.size(); ++index) {
            if (pairs.at(index).key.isEmpty() != keyed)
                order.append(index);
        }
    }
    return order;
}

// Finds the pair's category: by key when the pair has one, else by name (an empty key names no
// category). Leaves the query on the category found.
bool findCategory(Query& categories, const ReconciliationInstance& instance, const Pair& pair) {
    if (pair.key.isEmpty())
        return categories.locate(instance.nameColumn, pair.name);
    return categories.locate(instance.lookupColumn, pair.lookup);
}

// Gives the key to the rows of that name (in the rows' own spelling) that have none.
void fillKeys(Database& database, const ReconciliationInstance& instance, const QString& key,
              const QString& rowsName) {
    for (const FollowUpTemplate& followUp : instance.followUps)
        database.execute(followUpFillingEmptyKeys(followUp, key, rowsName,
                                                  database.dialect() == Dialect::SqlServer));
}

// A category created for a pair that named its key: every row of the name is given the key.
void giveKeyToName(Database& database, const ReconciliationInstance& instance, const QString& key,
                   const QString& rowsName) {
    for (const FollowUpTemplate& followUp : instance.followUps)
        database.execute(
            followUpStatement(followUp, key, rowsName, database.dialect() == Dialect::SqlServer));
}

bool listed(const QList<ReconciledCategory>& categories, const QString& key) {
    return std::any_of(categories.cbegin(), categories.cend(), [&](const ReconciledCategory& c) {
        return c.key.compare(key, Qt::CaseInsensitive) == 0;
    });
}

// A category found for another spelling of its name is listed once; one created by this
// instance is not listed as reused.
void noteReused(ReconciliationRecord& record, const ReconciledCategory& category) {
    if (!listed(record.created, category.key) && !listed(record.reused, category.key))
        record.reused.append(category);
}

} // namespace

ReconciliationRecord reconcile(const ReconciliationInstance& instance, Database& database,
                               const BranchIdentity& identity, CategoryKeyGenerator& keys) {
    Query categories(database);
    categories.close();
    categories.setSql(instance.categoryStatement);
    categories.open();

    // The pairs are read in full first: the follow-up updates change the tables they come from.
    const QList<Pair> pairs = readPairs(instance, database);
    const FieldContext fieldContext{identity, QDate(), database.locale(), {}, nullptr};
    const auto isTaken = [&](const QString& key) {
        return categories.locate(instance.keyColumn, key);
    };
    ReconciliationRecord record{instance.categoryTable, {}, {}};
    for (const qsizetype index : keyedPairsFirst(pairs)) {
        const Pair& pair = pairs.at(index);
        if (findCategory(categories, instance, pair)) {
            if (!pair.key.isEmpty())
                continue; // the rows carry the key of an existing category already
            const ReconciledCategory existing{categories.fieldText(instance.keyColumn),
                                              categories.fieldText(instance.nameColumn)};
            fillKeys(database, instance, existing.key, pair.name);
            noteReused(record, existing);
            continue;
        }
        const QString key = pair.key.isEmpty() ? keys.generate(instance.keyForm, identity.hotelId,
                                                               int(index + 1), isTaken)
                                               : pair.key;
        categories.append();
        writeFields(categories, instance.leadingFields, fieldContext);
        categories.setField(instance.keyColumn, key);
        categories.setField(instance.nameColumn, pair.name);
        writeFields(categories, instance.fixedFields, fieldContext);
        categories.post();
        keys.noteGiven(key);

        const ReconciledCategory created{categories.fieldText(instance.keyColumn),
                                         categories.fieldText(instance.nameColumn)};
        if (pair.key.isEmpty())
            fillKeys(database, instance, created.key, created.name);
        else
            giveKeyToName(database, instance, created.key, created.name);
        record.created.append(created);
    }
    return record;
}

} // namespace kestrel
