#pragma once

#include "import_definition.h"
#include "import_run.h"

#include <optional>

namespace kestrel {

// The description of a built import; nothing for one that is not built yet.
std::optional<ImportDefinition> importDefinition(ImportKind kind);

// Runs a description as runImport() runs a built import.
RunOutcome runImportDefinition(const ImportDefinition& definition, RunContext& context);

} // namespace kestrel
