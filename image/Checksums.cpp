#include "image/Checksums.h"

namespace flashtool {

void RunningSums::Add(std::span<const uint8_t> bytes) {
    for (const uint8_t byte : bytes) {
        Add(byte);
    }
}

uint16_t LinearSum(std::span<const uint8_t> bytes) {
    uint32_t sum = 0;
    for (const uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<uint16_t>(sum);
}

uint16_t RotatedSum(std::span<const uint8_t> bytes) {
    uint16_t sum = 0;
    for (const uint8_t byte : bytes) {
        sum = static_cast<uint16_t>(((sum >> 1) | (sum << 15)) + byte);
    }
    return sum;
}

uint32_t ByteSum(const uint8_t* bytes, uint32_t count) {
    if (bytes == nullptr) {
        return 0;
    }
    const uint32_t used = count & 0xFFFF;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < used; ++i) {
        sum += bytes[i];
    }
    return sum;
}

}  // namespace flashtool
