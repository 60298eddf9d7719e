#pragma once

// How long the program waits for a drive that keeps reporting that it is becoming ready.
// The drive is asked again every 200 ms; a drive that has not settled after a minute is not
// going to, and the user is told so instead of waiting on a frozen window.

#include <cstdint>

#include "transport/ScsiTypes.h"

namespace flashtool {

constexpr uint32_t kReadinessPollMs = 200;
constexpr uint32_t kReadinessBudgetMs = 60'000;
constexpr uint32_t kReadinessMaxPolls = kReadinessBudgetMs / kReadinessPollMs;  // 300

// Additional sense codes of the readiness conditions.
constexpr uint8_t kAscNotReady = 0x04;
constexpr uint8_t kAscMediumChanged = 0x28;
constexpr uint8_t kAscPowerOnReset = 0x29;
constexpr uint8_t kAscMediumNotPresent = 0x3A;

// Conditions after which a drive answers properly if asked again a little later.
constexpr bool IsBecomingReady(uint8_t asc) {
    return asc == kAscNotReady || asc == kAscMediumChanged || asc == kAscPowerOnReset;
}

}  // namespace flashtool
