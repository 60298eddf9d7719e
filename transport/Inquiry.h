#pragma once

#include <array>
#include <cstdint>

namespace flashtool {

constexpr uint8_t kOpInquiry = 0x12;

// Standard INQUIRY: operation code, allocation length in byte 4, every other byte zero.
constexpr std::array<uint8_t, 6> InquiryCdb(uint8_t allocationLength) {
    return {kOpInquiry, 0x00, 0x00, 0x00, allocationLength, 0x00};
}

}  // namespace flashtool
