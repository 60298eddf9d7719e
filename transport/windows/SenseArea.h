#pragma once

#include <cstdint>
#include <span>

#include "transport/ScsiTypes.h"
#include "transport/Sense.h"

namespace flashtool {

// Sense data as a Windows layer hands it back. Read by its response code; when the code is
// none of the known formats, key and ASC are taken where the fixed format keeps them
// (bytes 2 and 12), whatever the area holds.
inline SenseInfo SenseFromArea(std::span<const uint8_t> area) {
    if (const std::optional<SenseInfo> parsed = ParseSense(area)) {
        return *parsed;
    }
    const auto at = [area](size_t index) -> uint8_t {
        return index < area.size() ? area[index] : 0;
    };
    return SenseInfo{static_cast<uint8_t>(at(2) & 0x0F), at(12), at(13)};
}

}  // namespace flashtool
