#include "run/record_json.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace kestrel {

namespace {

QString outcomeName(BlockOutcome outcome) {
    switch (outcome) {
    case BlockOutcome::Completed:
        return QStringLiteral("completed");
    case BlockOutcome::RowCheckFailed:
        return QStringLiteral("row-check-failed");
    case BlockOutcome::Error:
        return QStringLiteral("error");
    case BlockOutcome::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

QJsonObject databaseJson(const DatabaseLocation& database) {
    if (!database.file.isEmpty())
        return {{QStringLiteral("file"), database.file}};
    return {{QStringLiteral("server"), database.server}, {QStringLiteral("name"), database.name}};
}

QJsonValue passJson(const PassTiming& pass) {
    if (!pass.begun())
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("started"), pass.started.toString(Qt::ISODateWithMs)},
                       {QStringLiteral("seconds"), double(pass.microseconds) / 1e6}};
}

QJsonArray defaultsJson(const QList<DefaultsWritten>& defaults) {
    QJsonArray array;
    for (const DefaultsWritten& entry : defaults) {
        QJsonObject object{{QStringLiteral("column"), entry.column},
                           {QStringLiteral("header"), entry.header},
                           {QStringLiteral("cells"), entry.cells}};
        if (entry.copiedFromColumn > 0)
            object.insert(QStringLiteral("copiedFromColumn"), entry.copiedFromColumn);
        else
            object.insert(QStringLiteral("value"), entry.value);
        array.append(object);
    }
    return array;
}

QJsonArray categoryList(const QList<ReconciledCategory>& categories) {
    QJsonArray array;
    for (const ReconciledCategory& category : categories)
        array.append(QJsonObject{{QStringLiteral("key"), category.key},
                                 {QStringLiteral("name"), category.name}});
    return array;
}

QJsonArray categoriesJson(const QList<ReconciliationRecord>& reconciliations) {
    QJsonArray array;
    for (const ReconciliationRecord& categories : reconciliations)
        array.append(QJsonObject{{QStringLiteral("table"), categories.categoryTable},
                                 {QStringLiteral("created"), categoryList(categories.created)},
                                 {QStringLiteral("reused"), categoryList(categories.reused)}});
    return array;
}

} // namespace

QJsonObject recordJson(const BlockRecord& record) {
    QJsonObject object{
        {QStringLiteral("import"), record.importName},
        {QStringLiteral("block"), record.block},
        {QStringLiteral("blocks"), record.blockCount},
        {QStringLiteral("template"), record.templatePath},
        {QStringLiteral("worksheet"), record.worksheet},
        {QStringLiteral("worksheetName"), record.worksheetName},
        {QStringLiteral("table"), record.mainTable},
        {QStringLiteral("keyColumn"), record.keyField},
        {QStringLiteral("writtenTables"), QJsonArray::fromStringList(record.writtenTables)},
        {QStringLiteral("database"), databaseJson(record.database)},
        {QStringLiteral("branch"),
         QJsonObject{{QStringLiteral("hotelTreeId"), record.branch.hotelTreeId},
                     {QStringLiteral("hotelId"), record.branch.hotelId},
                     {QStringLiteral("hotelName"), record.branch.hotelName}}},
        {QStringLiteral("started"), record.started.toString(Qt::ISODateWithMs)},
        {QStringLiteral("outcome"), outcomeName(record.outcome)},
        {QStringLiteral("rowsChecked"), record.rowsChecked},
        {QStringLiteral("rowsWritten"), record.rowsWritten},
        {QStringLiteral("rowsLeftOut"), int(record.keysLeftOut.size())},
        {QStringLiteral("keysLeftOut"), QJsonArray::fromStringList(record.keysLeftOut)},
        {QStringLiteral("defaults"), defaultsJson(record.defaults)},
        {QStringLiteral("categories"), categoriesJson(record.categories)},
        {QStringLiteral("passes"),
         QJsonObject{{QStringLiteral("checking"), passJson(record.checking)},
                     {QStringLiteral("import"), passJson(record.importing)},
                     {QStringLiteral("closing"), passJson(record.closing)}}},
    };
    if (record.outcome == BlockOutcome::RowCheckFailed)
        object.insert(QStringLiteral("failedRow"), record.failedRow);
    if (!record.message.isEmpty())
        object.insert(QStringLiteral("message"), record.message);
    return object;
}

QByteArray recordsJson(const QList<BlockRecord>& records) {
    QJsonArray array;
    for (const BlockRecord& record : records)
        array.append(recordJson(record));
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace kestrel
