#pragma once

#include "run/import_definition.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// What the four card imports (stored-value, points, treatment and time-period cards) share.

// The blank-out flag ("y", "n", "g"; else "n") and the sex ("男", "女"; else "男").
ColumnCheck blankOutFlagCheck(int column);
ColumnCheck sexCheck(int column);

// The opening row of HY_CardValueOpLog written after each new card; the card's values are read
// back from the card row just posted.
struct ValueLogSources {
    const char* cardCodeColumn;   // of the card row: "MemberID" or "CardCode"
    const char* clientNameColumn; // of the card row: "MemberName" or "ClientName"
    const char* cardTypeId;       // the card's group: "IdCard", "JiFenCard", ...
    const char* opTypeFlag;       // "CZ" or "JF"
    FieldSource cardValue;        // CardValue and NowCardValue
};
FieldList cardValueLogRow(const ValueLogSources& sources);
QueryOpening cardValueLogOpening();

// The three clean-up statements of a card table with CardPassword: empty texts for missing
// passwords, phones and paper names.
QStringList cardTableCleanUp(const char* table);

// The count-card layout of HY_JiCiCardDetail shared by treatment and time-period cards: the
// checks of its 19 template columns and the card row of a group ("JiCiCard", "ShiDuanCard").
QList<ColumnCheck> countCardChecks();
FieldList countCardRow(const char* cardGroupId);

} // namespace kestrel
