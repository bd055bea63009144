#pragma once

#include "run/import_definition.h"
#include "run/import_run.h"

#include <optional>

namespace kestrel {

// The description of a built import; nothing for one that is not built yet.
std::optional<ImportDefinition> importDefinition(ImportKind kind);

// Runs one import from start to end, as its button does (see runImportDefinition()).
// RunOutcome::NotBuilt, with nothing done, for an import that is not built yet.
RunOutcome runImport(ImportKind kind, RunContext& context);

} // namespace kestrel
