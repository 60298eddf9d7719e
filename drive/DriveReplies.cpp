#include "drive/DriveReplies.h"

#include "core/Bytes.h"

namespace flashtool {

std::optional<uint16_t> BufferSizeKb(std::span<const uint8_t> capabilitiesPage) {
    return BigEndian16At(capabilitiesPage, kCapabilitiesBufferSizeOffset);
}

}  // namespace flashtool
