#pragma once

// The request block of the SCSI pass-through-direct ioctl, built byte by byte: the
// SCSI_PASS_THROUGH_DIRECT header, zero filler up to an 8-byte boundary, then a 32-byte
// sense buffer. The header holds a pointer to the caller's data, so its size and the offsets
// after that pointer follow the platform's pointer width: a 32-bit build has a 44-byte
// header with the sense at 48 (80 bytes in all), a 64-bit build a 56-byte header with the
// sense at 56 (88 bytes). The Windows build checks the layout against the system header.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "transport/ScsiTypes.h"

namespace flashtool {

// Offsets that come before the data pointer, the same on every platform.
constexpr size_t kSptiLengthOffset = 0;  // 16-bit: the header's own size
constexpr size_t kSptiScsiStatusOffset = 2;
constexpr size_t kSptiPathIdOffset = 3;
constexpr size_t kSptiTargetIdOffset = 4;
constexpr size_t kSptiLunOffset = 5;
constexpr size_t kSptiCdbLengthOffset = 6;
constexpr size_t kSptiSenseInfoLengthOffset = 7;
constexpr size_t kSptiDataInOffset = 8;
constexpr size_t kSptiDataTransferLengthOffset = 12;  // 32-bit
constexpr size_t kSptiTimeOutValueOffset = 16;        // 32-bit, seconds
constexpr size_t kSptiCdbCapacity = 16;
constexpr size_t kSptiSenseLength = 32;

// Values of the DataIn field.
constexpr uint8_t kSptiDataOut = 0;
constexpr uint8_t kSptiDataIn = 1;
constexpr uint8_t kSptiDataUnspecified = 2;

struct SptiLayout {
    size_t pointerSize;
    size_t dataBufferOffset;      // the caller's data pointer
    size_t senseInfoOffsetField;  // 32-bit: where the sense buffer starts
    size_t cdbOffset;             // 16 bytes
    uint32_t headerLength;        // the Length field and the ioctl's input size
    uint32_t senseOffset;         // the sense buffer
    uint32_t requestSize;         // header, filler and sense: the ioctl's output size
};

constexpr size_t AlignUp(size_t value, size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// The layout as the platform's compiler lays out the structure for a pointer of this size.
constexpr SptiLayout SptiLayoutFor(size_t pointerSize) {
    const size_t dataBuffer = AlignUp(kSptiTimeOutValueOffset + 4, pointerSize);
    const size_t senseInfoOffset = dataBuffer + pointerSize;
    const size_t cdb = senseInfoOffset + 4;
    const size_t header = AlignUp(cdb + kSptiCdbCapacity, pointerSize);
    const size_t sense = AlignUp(header, 8);
    return SptiLayout{pointerSize,
                      dataBuffer,
                      senseInfoOffset,
                      cdb,
                      static_cast<uint32_t>(header),
                      static_cast<uint32_t>(sense),
                      static_cast<uint32_t>(sense + kSptiSenseLength)};
}

inline constexpr SptiLayout kNativeSptiLayout = SptiLayoutFor(sizeof(void*));
constexpr size_t kSptiMaxRequestSize = SptiLayoutFor(8).requestSize;

// One command, as the request block carries it.
struct SptiCommand {
    uint8_t pathId = 0;
    uint8_t targetId = 0;
    std::span<const uint8_t> cdb;  // at most 16 bytes
    DataDirection direction = DataDirection::None;
    uint32_t length = 0;
    uint32_t timeoutSeconds = 0;
    uint64_t dataBuffer = 0;  // the caller's buffer address
};

// Zero-fills the first layout.requestSize bytes of `block` and writes every field. False,
// with nothing written, when the block is too small, the CDB longer than 16 bytes or the
// address wider than the layout's pointer.
bool BuildSptiRequest(const SptiLayout& layout, const SptiCommand& command,
                      std::span<uint8_t> block);

uint8_t SptiDataInValue(DataDirection direction);

}  // namespace flashtool
