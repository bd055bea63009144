#pragma once

#include "run/import_definition.h"
#include "run/import_run.h"

namespace kestrel {

// The description of an import.
ImportDefinition importDefinition(ImportKind kind);

// Runs one import from start to end, as its button does (see runImportDefinition()).
RunOutcome runImport(ImportKind kind, RunContext& context);

} // namespace kestrel
