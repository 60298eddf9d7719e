#pragma once

// What the page transfer reads from the drive's replies.

#include <cstdint>
#include <optional>
#include <span>

namespace flashtool {

// The flash size a drive reports to the flash-size query, in bytes. The reply starts
// 0x06 0x11; bytes 2 and 3 are the flash device's code, bytes 10-11 (least significant
// first) its size in KB, or 0 for a device whose size is known from its code. Nothing for
// any other reply, an unknown device, or a reply too short to hold those bytes.
std::optional<uint32_t> FlashSizeFromReply(std::span<const uint8_t> reply);

}  // namespace flashtool
