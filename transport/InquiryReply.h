#pragma once

// What the program reads from a drive's INQUIRY reply: its identification and revision
// (standard bytes 8-35), and the OEM tag some drives keep in their vendor-specific bytes
// of the long reply. Bytes the reply does not reach read as zero, as they would from the
// zero-filled buffer the reply was read into. Also the unit serial number page of the
// vital product data.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

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

// The product serial number field of a unit serial number page (VPD 0x80), byte for byte
// as the drive sent it (SPC pads it with blanks; nothing is trimmed here). `reply` must
// hold only the bytes the drive returned. Nothing comes back for a page that is not the
// serial number page, whose length reaches past what came back (a cut serial number would
// name another drive), or whose field is not the ASCII text SPC makes it: a drive that
// answers the standard data to every INQUIRY has 0x80 (removable) in byte 1 too, and its
// vendor bytes must not pass for a serial number.
std::optional<std::string> UnitSerialNumberFromVpd(std::span<const uint8_t> reply);

}  // namespace flashtool
