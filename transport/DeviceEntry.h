#pragma once

#include <array>
#include <cstdint>

namespace flashtool {

// One row of the device table. A filled row was zeroed first, so both texts are always
// zero-terminated.
struct DeviceEntry {
    std::intptr_t handle = 0;  // the back-end's handle, kept open until Release; 0 = none
    uint8_t hostAdapter = 0;
    uint8_t target = 0;
    std::array<char, 50> identification{};  // INQUIRY bytes 8-31 as returned, then zeros
    std::array<char, 12> revision{};        // INQUIRY bytes 32-35 as returned, then zeros
};

// Offsets of the standard INQUIRY reply.
constexpr size_t kInquiryIdentificationOffset = 8;
constexpr size_t kIdentificationLength = 24;
constexpr size_t kInquiryRevisionOffset = 32;
constexpr size_t kRevisionLength = 4;

// A drive's description: identification immediately followed by revision, then a zero.
constexpr size_t kDescriptionCapacity = kIdentificationLength + kRevisionLength + 1;

}  // namespace flashtool
