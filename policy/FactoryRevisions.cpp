#include "policy/FactoryRevisions.h"

namespace flashtool {

namespace {
#include "FactoryRevisionData.inc"
}  // namespace

std::span<const FactoryRevisionRule> FactoryRevisionTable() {
    return kFactoryRevisionRows;
}

}  // namespace flashtool
