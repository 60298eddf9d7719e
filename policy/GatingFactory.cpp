#include "policy/GatingFactory.h"

#include <algorithm>

#include "core/FixedText.h"
#include "image/FamilyTraits.h"

namespace flashtool {

namespace {

constexpr size_t kIdentificationWidth = 24;

bool NamesDrive(const FactoryRevisionRule& rule, std::string_view identification) {
    auto same = [&](std::string_view named) {
        return named.size() == kIdentificationWidth &&
               SameBytes(named, identification, kIdentificationWidth);
    };
    return same(rule.identification1) || same(rule.identification2);
}

// Family codes compare over 6 characters (a shorter code with its terminating zero), except
// a code whose family takes every build family beginning with it (factory-prefix).
bool FamilyFits(std::string_view family, std::string_view buildFamily) {
    if (family.empty()) {
        return false;
    }
    const FamilyTraits& traits = TraitsOf(family);
    if (traits.factoryPrefix && traits.code == family) {
        return SameBytes(family, buildFamily, family.size());
    }
    const auto family6 = MakeFixedText<6>(family);
    return SameBytes(WholeField(family6), buildFamily, 6);
}

bool ConditionHolds(const FactoryRevisionRule& rule, std::string_view driveRevision,
                    std::string_view buildPattern) {
    switch (rule.condition) {
        case FactoryCondition::BrandExact:
            return SameBytes(rule.value, buildPattern, 2);
        case FactoryCondition::BrandUpper:
            return SameBytesUpper(rule.value, buildPattern, 2);
        case FactoryCondition::RevisionChars:
            return driveRevision.size() >= 4 &&
                   SameBytesUpper(rule.value, driveRevision.substr(2), 2);
    }
    return false;
}

}  // namespace

bool IsFactoryRevision(std::string_view driveRevision) {
    return SameBytesUpper(driveRevision, "FS", 2);
}

bool CheckFactoryRevision(std::string_view driveRevision, std::string_view driveIdentification,
                          std::string_view buildFamily, std::string_view buildPattern,
                          std::span<const FactoryRevisionRule> rules) {
    if (driveIdentification.size() < kIdentificationWidth) {
        return false;
    }
    return std::any_of(rules.begin(), rules.end(), [&](const FactoryRevisionRule& rule) {
        return NamesDrive(rule, driveIdentification) &&
               std::any_of(
                   rule.families.begin(), rule.families.end(),
                   [&](std::string_view family) { return FamilyFits(family, buildFamily); }) &&
               ConditionHolds(rule, driveRevision, buildPattern);
    });
}

}  // namespace flashtool
