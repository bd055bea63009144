#include "importers/importers.h"

#include "importers/employees.h"
#include "importers/items_goods.h"
#include "importers/points_cards.h"
#include "importers/rooms_lockers.h"
#include "importers/stored_value.h"
#include "importers/time_period_cards.h"
#include "importers/treatment_cards.h"

namespace kestrel {

ImportDefinition importDefinition(ImportKind kind) {
    switch (kind) {
    case ImportKind::StoredValue:
        return storedValueImport();
    case ImportKind::Points:
        return pointsCardImport();
    case ImportKind::Treatment:
        return treatmentCardImport();
    case ImportKind::TimePeriod:
        return timePeriodCardImport();
    case ImportKind::RoomsLockers:
        return roomsLockersImport();
    case ImportKind::ItemsGoods:
        return itemsGoodsImport();
    case ImportKind::Employees:
        return employeesImport();
    }
    return storedValueImport(); // unreachable: every kind has a case
}

RunOutcome runImport(ImportKind kind, RunContext& context) {
    return runImportDefinition(importDefinition(kind), context, kind);
}

} // namespace kestrel
