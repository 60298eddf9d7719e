#pragma once

// The checks the Upgrade command runs, in their fixed order, before a flash may start:
// describe the chosen drive, the disc check (brands 20 and 30), the model identity, the build key,
// the stored region, the version line in the log, then the brand and version rules.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "image/BuildConfig.h"
#include "policy/Gating.h"
#include "policy/GatingState.h"

namespace flashtool {

// True: every check passed and the flash may start. False: the attempt has ended, either
// with a result code reported through the host (which enables the buttons again), or with
// CheckUpdatePolicy's refusal, after which the Upgrade button is left disabled.
// `verifyStoredRegion` is the stored-image checksum check. Every command goes to
// context.device.
bool RunUpgradeChecks(const GatingContext& context,
                      const std::function<bool()>& verifyStoredRegion);

// The line that tells the user which revision is about to be installed.
std::string ComposeVersionLine(BrandCode brand, const BuildConfig& config, const GatingState& state,
                               std::string_view driveRevision);

}  // namespace flashtool
