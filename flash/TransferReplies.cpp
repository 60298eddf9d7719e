#include "flash/TransferReplies.h"

#include <array>

#include "core/Bytes.h"

namespace flashtool {

namespace {

constexpr size_t kFlashSizeReplyUsed = 12;

struct DeviceCodeSize {
    uint8_t byte3;
    uint8_t byte2;
    uint32_t flashSize;
};

// The flash size of each known device, for drives that report a size of 0.
constexpr std::array<DeviceCodeSize, 4> kDeviceCodes = {{
    {0x31, 0x20, 0x20000},
    {0x31, 0x40, 0x80000},
    {0x31, 0x80, 0x40000},
    {0x32, 0x20, 0x20000},
}};

std::optional<uint32_t> DeviceCodeFlashSize(uint8_t byte3, uint8_t byte2) {
    for (const DeviceCodeSize& code : kDeviceCodes) {
        if (code.byte3 == byte3 && code.byte2 == byte2) {
            return code.flashSize;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<uint32_t> FlashSizeFromReply(std::span<const uint8_t> reply) {
    if (reply.size() < kFlashSizeReplyUsed || reply[0] != 0x06 || reply[1] != 0x11) {
        return std::nullopt;
    }
    const std::optional<uint32_t> byDevice = DeviceCodeFlashSize(reply[3], reply[2]);
    if (!byDevice) {
        return std::nullopt;
    }
    const uint32_t reported = uint32_t{*LittleEndian16At(reply, 10)} * 1024u;
    return reported != 0 ? reported : *byDevice;
}

}  // namespace flashtool
