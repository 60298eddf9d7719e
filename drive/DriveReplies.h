#pragma once

// What the program reads from the drive's replies to the maker's commands.

#include <cstdint>
#include <optional>
#include <span>

namespace flashtool {

// Buffer size in KB: bytes 12-13 of the capabilities page, after the 8-byte header.
constexpr size_t kCapabilitiesBufferSizeOffset = 20;

// The buffer size the capabilities page reports, in KB; nothing when the reply is too
// short to hold it.
std::optional<uint16_t> BufferSizeKb(std::span<const uint8_t> capabilitiesPage);

// Whether the capabilities page claims to write any medium (page byte 3, after the 8-byte
// header); nothing when the reply is too short or holds another page.
std::optional<bool> CapabilitiesClaimWriting(std::span<const uint8_t> capabilitiesPage);

}  // namespace flashtool
