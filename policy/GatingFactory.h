#pragma once

// Drives that run a factory firmware (revision beginning with "FS") may be updated only
// when an entry of the acceptance list names them and its conditions hold.

#include <span>
#include <string_view>

#include "policy/FactoryRevisions.h"

namespace flashtool {

// True when the revision begins with "FS", letters compared upper-cased.
bool IsFactoryRevision(std::string_view driveRevision);

// `driveRevision`: 4 characters; `driveIdentification`: 24; `buildFamily`: the build's
// family field (at least 6 bytes, zero-padded); `buildPattern`: the build's revision
// pattern (brand letters first).
bool CheckFactoryRevision(std::string_view driveRevision, std::string_view driveIdentification,
                          std::string_view buildFamily, std::string_view buildPattern,
                          std::span<const FactoryRevisionRule> rules = FactoryRevisionTable());

}  // namespace flashtool
