#include "image/FamilyTraits.h"

#include <array>

#include "core/FixedText.h"

namespace flashtool {

namespace {
// kFamilyTraitRows, generated from data/families.txt at build time.
#include "FamilyTraitsData.inc"

constexpr FamilyTraits kNoFamily{};
constexpr size_t kOemTagCompared = 12;
}  // namespace

std::span<const FamilyTraits> FamilyTraitsTable() {
    return kFamilyTraitRows;
}

const FamilyTraits& TraitsOf(std::string_view field) {
    const FamilyTraits* found = &kNoFamily;
    for (const FamilyTraits& row : kFamilyTraitRows) {
        if (SameBytes(field, row.code, row.code.size()) && row.code.size() > found->code.size()) {
            found = &row;
        }
    }
    return *found;
}

const FamilyTraits* OemBuildFamily(std::string_view drive, std::string_view oemTag) {
    for (const FamilyTraits& row : kFamilyTraitRows) {
        if (!row.oemTag.empty() && row.drive == drive &&
            SameBytes(oemTag, row.oemTag, kOemTagCompared)) {
            return &row;
        }
    }
    return nullptr;
}

bool FieldHoldsExactly(std::string_view field, std::string_view code, size_t width) {
    if (field.size() < width || code.size() > width) {
        return false;
    }
    for (size_t i = 0; i < width; ++i) {
        if (field[i] != (i < code.size() ? code[i] : '\0')) {
            return false;
        }
    }
    return true;
}

std::string_view VariantFamilyCode() {
    for (const FamilyTraits& row : kFamilyTraitRows) {
        if (row.variantTags) {
            return row.code;
        }
    }
    return {};
}

}  // namespace flashtool
