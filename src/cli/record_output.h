#pragma once

#include "run/block_record.h"

#include <QList>
#include <QString>

namespace kestrel::cli {

// One line on what a block did ("stored-value 1/1: completed, 4 checked, 2 written, ...").
QString summaryLine(const BlockRecord& record);

// Writes the records as JSON to path, replacing what it held. False, with the reason, when it
// cannot.
bool writeRecordFile(const QString& path, const QList<BlockRecord>& records, QString& reason);

} // namespace kestrel::cli
