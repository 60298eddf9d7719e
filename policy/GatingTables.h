#pragma once

// The product tables the update gating consults. The program uses the build's own tables;
// tests hand in small ones of their own so that every rule can be shown on chosen rows.

#include <span>

#include "policy/FactoryRevisions.h"
#include "policy/ModelTables.h"

namespace flashtool {

struct GatingTables {
    std::span<const ModelRow> models = ModelFamilyTable();
    std::span<const OemRevisionRow> oemRevisions = OemRevisionTable();
    std::span<const FactoryRevisionRule> factoryRevisions = FactoryRevisionTable();
};

}  // namespace flashtool
