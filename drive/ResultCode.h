#pragma once

#include <cstdint>

namespace flashtool {

// How a refusal or a failed run ends. Other values are accepted by ReportResult and only
// reset the window.
enum class ResultCode : int32_t {
    UserCancelled = 2,
    ChecksumMismatch = 3,
    CommandFailed = 4,
    UpdateFailed = 5,
    NotAllowed = 6,
    CheckFailed = 7,
    DowngradeRefused = 8,
    DiscPresent = 9,
};

}  // namespace flashtool
