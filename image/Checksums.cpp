#include "image/Checksums.h"

#include <bit>

namespace flashtool {

namespace {

// 256 bytes of at most 255 each add up to at most 65,280, so a block's sum fits in 16
// bits; a fixed-length inner loop over a 16-bit accumulator is what the compiler turns
// into vector code. The result is the exact 32-bit byte sum (modulo 2^32).
constexpr size_t kBlock = 256;

uint32_t AddBytes(const uint8_t* bytes, size_t count) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; count - i >= kBlock; i += kBlock) {
        uint16_t block = 0;
        for (size_t j = 0; j < kBlock; ++j) {
            block = static_cast<uint16_t>(block + bytes[i + j]);
        }
        sum += block;
    }
    for (; i < count; ++i) {
        sum += bytes[i];
    }
    return sum;
}

// A serial chain: each step needs the previous value, so this runs at the latency of one
// rotate and one add per byte whatever is done around it.
uint16_t ContinueRotated(uint16_t sum, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        sum = static_cast<uint16_t>(std::rotr(sum, 1) + bytes[i]);
    }
    return sum;
}

}  // namespace

// Both sums in one loop: the linear adds form a chain of their own that runs beside the
// rotated one, so together they cost what the rotated sum costs alone.
void RunningSums::Add(std::span<const uint8_t> bytes) {
    uint32_t sumLinear = linear;
    uint16_t sumRotated = rotated;
    for (const uint8_t byte : bytes) {
        sumLinear += byte;
        sumRotated = static_cast<uint16_t>(std::rotr(sumRotated, 1) + byte);
    }
    linear = sumLinear;
    rotated = sumRotated;
}

uint16_t LinearSum(std::span<const uint8_t> bytes) {
    return static_cast<uint16_t>(AddBytes(bytes.data(), bytes.size()));
}

uint16_t RotatedSum(std::span<const uint8_t> bytes) {
    return ContinueRotated(0, bytes.data(), bytes.size());
}

uint32_t ByteSum(const uint8_t* bytes, uint32_t count) {
    if (bytes == nullptr) {
        return 0;
    }
    return AddBytes(bytes, count & 0xFFFF);
}

}  // namespace flashtool
