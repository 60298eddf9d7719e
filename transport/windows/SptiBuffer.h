#pragma once

// The data buffer of an SPTI request. The pass-through-direct ioctl hands the driver the
// buffer's address, and the adapter moves the data straight to or from it; an address that
// is not aligned as the adapter requires fails the request (or, with some drivers, moves
// the data wrongly). The back-end therefore sends through a buffer of its own at an
// address the adapter accepts, and copies the caller's data in and out of it.
//
// The adapter tells its alignment with IOCTL_SCSI_GET_CAPABILITIES: the AlignmentMask of
// IO_SCSI_CAPABILITIES, whose set bits must be clear in the address.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace flashtool {

// IO_SCSI_CAPABILITIES: Length, MaximumTransferLength, MaximumPhysicalPages,
// SupportedAsynchronousEvents and AlignmentMask (32 bits each), then three flag bytes.
constexpr size_t kScsiCapabilitiesSize = 24;
constexpr size_t kCapabilitiesAlignmentMaskOffset = 16;

// When the adapter cannot be asked or answers something unusable: a page, which meets
// every mask adapters report.
constexpr uint32_t kDefaultAlignmentMask = 0xFFF;
// The largest mask believed; anything larger is taken for a bad answer.
constexpr uint32_t kMaxAlignmentMask = 0xFFFF;

// The alignment mask from a capabilities reply of which `returned` bytes were written; the
// default when the reply is too short to hold it, or the mask is not one less than a power
// of two or larger than kMaxAlignmentMask.
uint32_t AlignmentMaskFrom(std::span<const uint8_t> reply, uint32_t returned);

class SptiBuffer {
public:
    // `length` bytes at an address with none of the bits of `mask` set. They stay valid
    // until the next call; their contents are unspecified.
    std::span<uint8_t> Take(uint32_t length, uint32_t mask);

private:
    std::vector<uint8_t> storage;
};

}  // namespace flashtool
