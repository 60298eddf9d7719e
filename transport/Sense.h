#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "transport/ScsiTypes.h"

namespace flashtool {

// Reads sense key and ASC/ASCQ from sense data in the fixed format (response codes
// 0x70/0x71: key in byte 2, ASC in byte 12, ASCQ in byte 13) or the descriptor format
// (0x72/0x73: bytes 1, 2 and 3), chosen by the response code. Bytes beyond the buffer read
// as zero; an unknown response code gives nothing.
std::optional<SenseInfo> ParseSense(std::span<const uint8_t> sense);

}  // namespace flashtool
