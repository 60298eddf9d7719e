#pragma once

// A pointer inside a request block: as wide as the build's pointers, little-endian like
// every number the Windows layers read.

#include <cstddef>
#include <cstdint>
#include <span>

namespace flashtool {

constexpr bool FitsPointerField(size_t width, uint64_t address) {
    return width >= 8 || (address >> (8 * width)) == 0;
}

// The caller has checked that the field fits in `block` and that the address fits the width.
inline void StorePointerField(std::span<uint8_t> block, size_t offset, size_t width,
                              uint64_t address) {
    for (size_t i = 0; i < width; ++i) {
        block[offset + i] = static_cast<uint8_t>(address >> (8 * i));
    }
}

}  // namespace flashtool
