#pragma once

// The command blocks that carry firmware pages and blocks to the drive. One function per
// command; every multi-byte field is written most significant byte first.

#include <array>
#include <cstdint>

#include "core/Bytes.h"
#include "image/ImageLayout.h"

namespace flashtool {

constexpr uint32_t kBlockImageSize = 4096;
constexpr uint32_t kBlockWireSize = kBlockImageSize + 2;  // the block sum travels after it
constexpr uint32_t kFlashSizeReplyLength = 100;

using Cdb10 = std::array<uint8_t, 10>;
using Cdb12 = std::array<uint8_t, 12>;

// The 24-bit transfer length 0x004000 of every buffer page command.
constexpr uint8_t kPageLengthHigh = 0x00;
constexpr uint8_t kPageLengthMid = 0x40;
constexpr uint8_t kPageLengthLow = 0x00;

// Bits `shift` to `shift` + 7 of a value.
constexpr uint8_t Bits(uint32_t value, unsigned shift) {
    return static_cast<uint8_t>(value >> shift);
}

// The command blocks are laid out one CDB byte per column, as they travel.
// clang-format off

// READ BUFFER mode 1 (descriptor): the drive's device code and flash size.
constexpr Cdb10 FlashSizeQueryCdb() { return {0x3C, 0x01, 0, 0, 0, 0, 0, 0, 0x64, 0}; }

// Buffer write with read-back: the buffer ID is bits 16-23 of the image offset, the
// buffer offset its low 16 bits.
constexpr Cdb10 BufferPageWriteCdb(uint32_t imageOffset) {
    return {0x3B, 0x07, Bits(imageOffset, 16), 0, Bits(imageOffset, 8), Bits(imageOffset, 0),
            kPageLengthHigh, kPageLengthMid, kPageLengthLow, 0};
}

constexpr Cdb10 BufferPageReadCdb(uint32_t imageOffset) {
    return {0x3C, 0x02, Bits(imageOffset, 16), 0, Bits(imageOffset, 8), Bits(imageOffset, 0),
            kPageLengthHigh, kPageLengthMid, kPageLengthLow, 0};
}

constexpr Cdb10 ActivateCdb() { return {0x3B, 0x04, 0, 0, 0, 0, 0, 0, 0, 0}; }

// Segmented buffer write: buffer 0, the ID travels as the top byte of the 24-bit offset.
constexpr Cdb10 SegmentPageWriteCdb(uint8_t id, uint16_t offset) {
    return {0x3B, 0x06, 0, id, HighByte(offset), LowByte(offset),
            kPageLengthHigh, kPageLengthMid, kPageLengthLow, 0};
}

constexpr Cdb10 SegmentPageReadCdb(uint8_t id, uint16_t offset) {
    return {0x3C, 0x02, 0, id, HighByte(offset), LowByte(offset),
            kPageLengthHigh, kPageLengthMid, kPageLengthLow, 0};
}

constexpr Cdb10 SegmentCommitCdb(uint8_t segment) { return {0x3B, 0x07, 0, segment, 0, 0, 0, 0, 0, 0}; }

// Signed page command: the maker's signature, the page's own sum and the image's linear sum.
constexpr Cdb12 SignedPageCdb(uint16_t pageSum, uint16_t linear, uint8_t page, uint8_t count) {
    return {0xFD, 0x07, 'T', 'A', 'R', 'N', HighByte(pageSum), LowByte(pageSum),
            HighByte(linear), LowByte(linear), page, count};
}

// Page command with the image sums; `x` is the rotated sum, or the page sum on the
// families whose drives check each page.
constexpr Cdb12 SummedPageCdb(uint16_t linear, uint16_t x, uint16_t rotated, uint8_t page,
                              uint8_t count) {
    return {0xFA, HighByte(linear), LowByte(linear), HighByte(x), LowByte(x), page,
            0x01, HighByte(linear), LowByte(linear), HighByte(rotated), LowByte(rotated), count};
}

constexpr Cdb12 BlockStartCdb() { return {0xF2, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }

constexpr Cdb12 BlockWriteCdb(uint32_t offset) {
    return {0xF2, 0x03, Bits(offset, 24), Bits(offset, 16), Bits(offset, 8), Bits(offset, 0),
            0, 0, HighByte(kBlockWireSize), LowByte(kBlockWireSize), 0, 0};
}

// The image size, bits 0 to 23 (the top byte is not carried).
constexpr Cdb12 BlockFinishCdb(uint32_t size) {
    return {0xF2, 0x04, 0, 0, 0, 0, 0, Bits(size, 16), Bits(size, 8), Bits(size, 0), 0, 0x01};
}

// clang-format on

}  // namespace flashtool
