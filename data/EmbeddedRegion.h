#pragma once

#include <cstdint>
#include <span>

namespace flashtool {

// This build's stored region, embedded in the program: BuildConfig first, then the
// payload(s) and the region's two sums. Read-only, alive for the whole process.
std::span<const uint8_t> EmbeddedStoredRegion();

}  // namespace flashtool
