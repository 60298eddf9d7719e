#pragma once

// What the program reads from a drive's INQUIRY reply: its identification and revision
// (standard bytes 8-35), and the OEM tag some drives keep in their vendor-specific bytes
// of the long reply. Bytes the reply does not reach read as zero, as they would from the
// zero-filled buffer the reply was read into.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "transport/DeviceEntry.h"

namespace flashtool {

// INQUIRY bytes 96-110 hold the OEM tag; its first 12 characters (10 of model name, 2
// brand letters) are what tells one variant of a model from another.
constexpr size_t kOemTagOffset = 96;
constexpr size_t kOemTagCompared = 12;

struct InquiryIdentity {
    std::array<char, kIdentificationLength> identification{};
    std::array<char, kRevisionLength> revision{};
};

InquiryIdentity IdentityFromInquiry(std::span<const uint8_t> reply);
std::array<char, kOemTagCompared> OemTagFromInquiry(std::span<const uint8_t> reply);

}  // namespace flashtool
