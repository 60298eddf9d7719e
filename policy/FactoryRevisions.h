#pragma once

// The acceptance list for drives that run a factory firmware (revision beginning with
// "FS"). Product data generated at build time from data/.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace flashtool {

enum class FactoryCondition : uint8_t {
    BrandExact,     // the build's revision pattern begins with `value`, compared exactly
    BrandUpper,     // ... compared upper-cased
    RevisionChars,  // the drive revision has `value` at positions 2 and 3, upper-cased
};

struct FactoryRevisionRule {
    std::string_view identification1;  // 24 bytes
    std::string_view identification2;  // 24 bytes, or empty when the entry names one drive
    // The build's family must be one of these (the non-empty ones); compared over 6
    // characters, or over the code's own length for a family with the factory-prefix trait.
    std::array<std::string_view, 3> families;
    FactoryCondition condition = FactoryCondition::BrandExact;
    std::string_view value;  // 2 characters
};

std::span<const FactoryRevisionRule> FactoryRevisionTable();

}  // namespace flashtool
