#pragma once

// Which drives the tree shows in grey: those this build cannot update. They stay
// selectable; the Upgrade command's checks refuse them.

#include <string_view>

#include "core/FixedText.h"
#include "image/BuildConfig.h"

namespace flashtool {

// `identification` is the drive's 24 identification bytes. For a wildcard build this
// resolves the drive's family into `currentFamily`, as the later checks expect it there.
bool IsGreyedDrive(const BuildConfig& config, std::string_view identification,
                   FixedText<10>& currentFamily);

}  // namespace flashtool
