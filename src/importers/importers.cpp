#include "importers/importers.h"

#include "importers/stored_value.h"

namespace kestrel {

std::optional<ImportDefinition> importDefinition(ImportKind kind) {
    switch (kind) {
    case ImportKind::StoredValue:
        return storedValueImport();
    case ImportKind::Points:
    case ImportKind::Treatment:
    case ImportKind::TimePeriod:
    case ImportKind::RoomsLockers:
    case ImportKind::ItemsGoods:
    case ImportKind::Employees:
        break;
    }
    return std::nullopt;
}

RunOutcome runImport(ImportKind kind, RunContext& context) {
    const std::optional<ImportDefinition> definition = importDefinition(kind);
    if (!definition)
        return RunOutcome::NotBuilt;
    return runImportDefinition(*definition, context);
}

} // namespace kestrel
