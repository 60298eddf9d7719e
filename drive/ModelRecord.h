#pragma once

// The 4-byte record a drive keeps (twice) in its vendor area:
//   0    model code: 0x00, 0x05 or 0x30
//   1    update mark: 0x51 while an update is in progress, 0x00 otherwise
//   2-3  the drive's own content, always written back exactly as last read

#include <array>
#include <cstdint>

namespace flashtool {

constexpr uint8_t kModelCodeBase = 0x00;
constexpr uint8_t kModelCode05 = 0x05;
constexpr uint8_t kModelCode30 = 0x30;
// What CheckModel gives for a record it does not recognise or could not read.
constexpr uint8_t kModelCodeUnknown = 0xFF;

constexpr uint8_t kUpdateMark = 0x51;

using ModelRecord = std::array<uint8_t, 4>;

// The record to write back over `asRead`: a new model code and mark, the drive's bytes kept.
constexpr ModelRecord BuildModelRecord(uint8_t value, bool setMark, const ModelRecord& asRead) {
    return {value, setMark ? kUpdateMark : uint8_t{0x00}, asRead[2], asRead[3]};
}

}  // namespace flashtool
