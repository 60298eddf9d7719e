#pragma once

// The product tables the update gating consults. The program uses the build's own tables;
// tests hand in small ones of their own so that every rule can be shown on chosen rows.

#include <optional>
#include <span>
#include <string_view>

#include "core/FixedText.h"
#include "policy/FactoryRevisions.h"
#include "policy/ModelTables.h"

namespace flashtool {

struct GatingTables {
    std::span<const ModelRow> models = ModelFamilyTable();
    std::span<const OemRevisionRow> oemRevisions = OemRevisionTable();
    std::span<const FactoryRevisionRule> factoryRevisions = FactoryRevisionTable();
};

// ResolveFamily and FindOemRevision over the given rows: exact 24-byte match, first row wins.
void ResolveFamilyIn(std::span<const ModelRow> rows, std::string_view identification,
                     FixedText<10>& currentFamily);
std::optional<OemRevisionRow> FindOemRevisionIn(std::span<const OemRevisionRow> rows,
                                                std::string_view identification);

}  // namespace flashtool
