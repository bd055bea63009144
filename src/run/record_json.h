#pragma once

#include "run/block_record.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>

namespace kestrel {

// A block's record as a JSON object with English keys (README: "Headless imports and checks").
QJsonObject recordJson(const BlockRecord& record);
// The records of a run: a JSON array of one object per block, indented, UTF-8.
QByteArray recordsJson(const QList<BlockRecord>& records);

} // namespace kestrel
