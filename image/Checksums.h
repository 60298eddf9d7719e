#pragma once

// The three sums that protect the firmware and travel with it to the drive.

#include <bit>
#include <cstdint>
#include <span>

namespace flashtool {

// Linear sum: bytes added, low 16 bits kept. Rotated sum: the classic BSD checksum (rotate
// the 16-bit value right by one bit, then add the byte). Both start at 0.
struct RunningSums {
    uint32_t linear = 0;
    uint16_t rotated = 0;

    void Add(uint8_t byte) {
        linear += byte;
        // std::rotr keeps the arithmetic unsigned: shifting the promoted value left by 15
        // and adding could overflow int.
        rotated = static_cast<uint16_t>(std::rotr(rotated, 1) + byte);
    }
    void Add(std::span<const uint8_t> bytes);
    uint16_t Linear() const { return static_cast<uint16_t>(linear); }
    uint16_t Rotated() const { return rotated; }
};

uint16_t LinearSum(std::span<const uint8_t> bytes);
uint16_t RotatedSum(std::span<const uint8_t> bytes);

// Plain 32-bit byte sum of a page or block. Only the low 16 bits of the count are used (a
// command field never carries more); a null pointer gives 0.
uint32_t ByteSum(const uint8_t* bytes, uint32_t count);

}  // namespace flashtool
