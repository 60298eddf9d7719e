#pragma once

// A drive's unit serial number, the one identity a drive keeps wherever it is plugged in and
// however often the system restarts (its node's name changes with both). It is read from the
// vital product data with two standard read-only INQUIRYs: the list of pages (0x00) first,
// and the serial number page (0x80) only from a drive that lists it, as the system's own
// drivers do, since some devices misbehave when asked for a page they do not have.

#include <cstdint>
#include <span>
#include <string>

#include "transport/ScsiDevice.h"

namespace flashtool {

// True when a supported-pages reply (VPD 0x00; only the bytes the drive returned) lists
// `page`. False for a reply that is not that page.
bool VpdPageListed(std::span<const uint8_t> reply, uint8_t page);

// The drive's serial number with the blanks that pad it trimmed; "" when it lists no serial
// number page, does not answer, or reports only blanks (no serial number to tell it by).
std::string ReadUnitSerialNumber(const ScsiDevice& drive);

}  // namespace flashtool
