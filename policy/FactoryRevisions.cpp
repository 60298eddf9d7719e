// Provisional, empty acceptance list until the generated one lands.
#include "policy/FactoryRevisions.h"

namespace flashtool {

std::span<const FactoryRevisionRule> FactoryRevisionTable() { return {}; }

}  // namespace flashtool
