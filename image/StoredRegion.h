#pragma once

// The check of the whole stored region that the Upgrade command runs before any flash run
// may start: both sums over everything from BuildConfig to the end of the last payload,
// against the two words stored right after it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "image/BuildConfig.h"

namespace flashtool {

// The number of bytes the region sums cover (the sums lie right after them), for the
// layout the variant tag chooses; nothing when the stored sizes make the region invalid:
// a payload B of size 0, a payload larger than a run-time buffer, a dual region longer
// than 0x200100 bytes, or sums that would lie past the end of a region of `regionSize`.
std::optional<size_t> CoveredLength(size_t regionSize, std::string_view variantTag,
                                    const BuildConfig& config, const PayloadHeader& header);

// True when the stored region is intact. `config` and `header` are the dialog's copies of
// the region's BuildConfig and PayloadHeader; `header` counts only in the dual layout. No
// byte outside `region` is read, whatever the size fields say.
bool VerifyStoredRegion(std::span<const uint8_t> region, std::string_view variantTag,
                        const BuildConfig& config, const PayloadHeader& header);

}  // namespace flashtool
