#include "transport/Sense.h"

namespace flashtool {

namespace {
uint8_t ByteOrZero(std::span<const uint8_t> bytes, size_t index) {
    return index < bytes.size() ? bytes[index] : 0;
}
}  // namespace

std::optional<SenseInfo> ParseSense(std::span<const uint8_t> sense) {
    if (sense.empty()) {
        return std::nullopt;
    }
    const uint8_t responseCode = sense[0] & 0x7F;
    if (responseCode == 0x70 || responseCode == 0x71) {
        return SenseInfo{static_cast<uint8_t>(ByteOrZero(sense, 2) & 0x0F), ByteOrZero(sense, 12),
                         ByteOrZero(sense, 13)};
    }
    if (responseCode == 0x72 || responseCode == 0x73) {
        return SenseInfo{static_cast<uint8_t>(ByteOrZero(sense, 1) & 0x0F), ByteOrZero(sense, 2),
                         ByteOrZero(sense, 3)};
    }
    return std::nullopt;
}

}  // namespace flashtool
