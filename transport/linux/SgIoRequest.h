#pragma once

// One SCSI command as an SG_IO request, and the request's completion as a pass-through
// outcome. Kept apart from the back-end so that both directions are plain functions.

#include <scsi/sg.h>

#include <array>
#include <cstdint>
#include <span>

#include "transport/PassThroughBackend.h"

namespace flashtool {

// Host byte of a command the adapter gave up on, and the old driver byte of a time-out.
constexpr uint16_t kHostTimedOut = 0x03;    // DID_TIME_OUT
constexpr uint16_t kDriverTimedOut = 0x06;  // DRIVER_TIMEOUT
constexpr uint16_t kDriverSense = 0x08;     // DRIVER_SENSE: sense data is valid
constexpr uint16_t kDriverByteMask = 0x0F;  // the upper bits are only retry suggestions
constexpr size_t kSgSenseLength = 64;       // room for either sense format
constexpr size_t kMaxCdbLength = 16;

// Storage that must outlive the ioctl: the CDB copy and the sense buffer.
struct SgIoBuffers {
    std::array<uint8_t, kMaxCdbLength> cdb{};
    std::array<uint8_t, kSgSenseLength> sense{};
};

// A time-out of 0 would let the driver choose its own default, so it becomes the short
// command time-out instead; very long ones are capped rather than wrapped.
uint32_t SgTimeoutMilliseconds(uint32_t seconds);

int SgDirection(DataDirection direction);

// Fills a zeroed header for `request`, whose CDB (1 to 16 bytes) is copied into `buffers`.
sg_io_hdr_t BuildSgIoHeader(const ScsiRequest& request, SgIoBuffers& buffers);

// Maps a completed SG_IO request: time-outs first (the kernel's own, and a host failure
// that came back after the command's whole time-out), then host and driver failures, then
// the SCSI status with the sense data that came with it. A command that ended without a
// status reports the whole length as its residual.
PassThroughOutcome MapSgIoResult(const sg_io_hdr_t& header, std::span<const uint8_t> sense,
                                 uint32_t length);

}  // namespace flashtool
