#include "cli/record_output.h"

#include "run/record_json.h"

#include <QCoreApplication>
#include <QFile>

namespace kestrel::cli {

namespace {

// The texts are marked for Qt's translation tools with their context.
QString translated(const char* source) {
    return QCoreApplication::translate("kestrel-import", source);
}

QString outcomeText(const BlockRecord& record) {
    switch (record.outcome) {
    case BlockOutcome::Completed:
        return translated(QT_TRANSLATE_NOOP("kestrel-import", "completed"));
    case BlockOutcome::RowCheckFailed:
        return translated(QT_TRANSLATE_NOOP("kestrel-import", "stopped at row %1"))
            .arg(record.failedRow);
    case BlockOutcome::Error:
        return translated(QT_TRANSLATE_NOOP("kestrel-import", "failed"));
    case BlockOutcome::Stopped:
        return translated(QT_TRANSLATE_NOOP("kestrel-import", "stopped by the operator"));
    }
    return {};
}

qsizetype categoryCount(const BlockRecord& record,
                        QList<ReconciledCategory> ReconciliationRecord::*list) {
    qsizetype total = 0;
    for (const ReconciliationRecord& categories : record.categories)
        total += (categories.*list).size();
    return total;
}

} // namespace

QString summaryLine(const BlockRecord& record) {
    const qint64 microseconds =
        record.checking.microseconds + record.importing.microseconds + record.closing.microseconds;
    return translated(
               QT_TRANSLATE_NOOP(
                   "kestrel-import",
                   "%1 %2/%3: %4, %5 checked, %6 written, %7 left out, %8 categories created, %9 "
                   "reused, %10 s"))
        .arg(record.importName, QString::number(record.block), QString::number(record.blockCount),
             outcomeText(record), QString::number(record.rowsChecked),
             QString::number(record.rowsWritten), QString::number(record.keysLeftOut.size()),
             QString::number(categoryCount(record, &ReconciliationRecord::created)),
             QString::number(categoryCount(record, &ReconciliationRecord::reused)))
        .arg(double(microseconds) / 1e6, 0, 'f', 3);
}

bool writeRecordFile(const QString& path, const QList<BlockRecord>& records, QString& reason) {
    QFile file(path);
    const QByteArray json = recordsJson(records);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size() ||
        !file.flush()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace kestrel::cli
