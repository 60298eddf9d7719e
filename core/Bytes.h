#pragma once

// Explicit byte-order helpers. Numbers in command blocks and drive replies are big-endian;
// numbers in the program's stored data are little-endian. Every read from untrusted bytes
// goes through the checked forms, which refuse an offset that runs past the buffer.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace flashtool {

constexpr uint8_t HighByte(uint16_t value) {
    return static_cast<uint8_t>(value >> 8);
}
constexpr uint8_t LowByte(uint16_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

constexpr uint16_t BigEndian16(uint8_t high, uint8_t low) {
    return static_cast<uint16_t>((high << 8) | low);
}

inline bool FitsAt(std::span<const uint8_t> bytes, size_t offset, size_t width) {
    return offset <= bytes.size() && width <= bytes.size() - offset;
}

inline std::optional<uint16_t> BigEndian16At(std::span<const uint8_t> bytes, size_t offset) {
    if (!FitsAt(bytes, offset, 2)) {
        return std::nullopt;
    }
    return BigEndian16(bytes[offset], bytes[offset + 1]);
}

inline std::optional<uint16_t> LittleEndian16At(std::span<const uint8_t> bytes, size_t offset) {
    if (!FitsAt(bytes, offset, 2)) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline std::optional<uint32_t> LittleEndian32At(std::span<const uint8_t> bytes, size_t offset) {
    if (!FitsAt(bytes, offset, 4)) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

// Writers: the caller owns a buffer of known size; an offset that does not fit is a
// programming error, so these return false instead of writing.
inline bool StoreLittleEndian16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
    if (!FitsAt(bytes, offset, 2)) {
        return false;
    }
    bytes[offset] = LowByte(value);
    bytes[offset + 1] = HighByte(value);
    return true;
}

inline bool StoreLittleEndian32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
    if (!FitsAt(bytes, offset, 4)) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return true;
}

inline bool StoreBigEndian16(std::span<uint8_t> bytes, size_t offset, uint16_t value) {
    if (!FitsAt(bytes, offset, 2)) {
        return false;
    }
    bytes[offset] = HighByte(value);
    bytes[offset + 1] = LowByte(value);
    return true;
}


}  // namespace flashtool
