#pragma once

// Which builds the model check gives a variant tag, and so the dual layout. Only a
// QV-5500A drive's check can set a tag, and only for a build of the family with variant
// tags (data/families.txt) that targets that model or any drive; the stored-region check
// then reads the region in the dual layout. Every other drive and build is checked in the
// single layout. The gating and the packer (which refuses a layout no drive could pass
// with) both ask here.

#include <string_view>

#include "core/FixedText.h"
#include "image/BuildConfig.h"
#include "image/FamilyTraits.h"

namespace flashtool {

constexpr std::string_view kModelQv5500a = "ORIN    DVD RW QV-5500A ";

// The build may update a QV-5500A drive: it targets it by name or is a wildcard build.
inline bool TargetsVariantModel(const BuildConfig& config) {
    return SameBytes(config.TargetId(), kModelQv5500a, kModelQv5500a.size()) || config.IsWildcard();
}

// The build's family field begins with the code of a family with variant tags.
inline bool IsVariantFamily(const BuildConfig& config) {
    return TraitsOf(config.FamilyCode()).variantTags;
}

// Some drive's model check can give this build a variant tag.
inline bool CanSetVariantTag(const BuildConfig& config) {
    return TargetsVariantModel(config) && IsVariantFamily(config);
}

// Every drive this build's checks let through gets a variant tag: a build for exactly the
// QV-5500A. Its identity check admits only that model, whose check either sets a tag or
// refuses. A wildcard build can also update the family's other models, which get none.
inline bool AlwaysSetsVariantTag(const BuildConfig& config) {
    return CanSetVariantTag(config) && !config.IsWildcard();
}

}  // namespace flashtool
