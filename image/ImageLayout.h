#pragma once

// Where things lie in the stored region, and the sizes of the run-time buffers. Offsets
// count from the first byte of BuildConfig; numbers in the region are little-endian.
//
// Single layout (no variant tag):
//   0                 64   BuildConfig
//   64                A    the payload (A = BuildConfig image size)
//   64 + A            2+2  region linear sum, region rotated sum
//
// Dual layout (variant tag "ORIN_7240" or "ORIN_7250"):
//   0                 64   BuildConfig
//   64                14   PayloadHeader (describes payload B)
//   78                A    payload A, sent for "ORIN_7240"
//   78 + A            40   separator record (counted only in the region sums)
//   118 + A           B    payload B, sent for "ORIN_7250"
//   118 + A + B       2+2  region linear sum, region rotated sum
//
// A payload: a 4-byte little-endian stream length (never read by the program), a zlib
// stream, zero fill to the payload size.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace flashtool {

// The variant tags the model check gives; each picks a payload of the dual layout.
constexpr std::string_view kVariantOrin7250 = "ORIN_7250";
constexpr std::string_view kVariantOrin7240 = "ORIN_7240";

constexpr size_t kPageSize = 16384;
// Each of the two run-time buffers; also the largest image a drive takes (128 pages).
constexpr size_t kImageBufferSize = 0x200000;
constexpr size_t kMaxPageCount = kImageBufferSize / kPageSize;

constexpr size_t kSinglePayloadOffset = 64;
constexpr size_t kPayloadHeaderOffset = 64;
constexpr size_t kDualPayloadAOffset = 78;
constexpr size_t kSeparatorSize = 40;
// BuildConfig, PayloadHeader and the separator record: what the dual layout adds to A + B.
constexpr size_t kDualFixedSize = 118;
constexpr size_t kRegionSumsSize = 4;
// The longest dual-layout region the check accepts (without its two sums).
constexpr size_t kMaxDualRegionLength = 0x200100;

// The separator record as this build's data holds it.
constexpr size_t kSeparatorLinearOffset = 0;   // payload A's expected linear sum
constexpr size_t kSeparatorRotatedOffset = 2;  // payload A's expected rotated sum
constexpr size_t kSeparatorTagOffset = 4;      // text tag ending in LF and 0x1A
constexpr size_t kSeparatorTagSize = 27;
constexpr size_t kSeparatorSizeBOffset = 36;  // payload B's size (5 zero bytes before)

// A payload's stream begins after its length word.
constexpr size_t kStreamLengthSize = 4;
// The decompression input limit stops this far short of the end of the stored pages: the
// length word and 128 more bytes.
constexpr size_t kInflateLimitShortfall = 132;
// Builds of families TJ44 and KM7300 stage this much less than the payload size.
constexpr size_t kFixedOffsetTrim = 12;

// The failure value of InflatePayload; no real page count reaches it.
constexpr uint8_t kInflateFailed = 0xFF;

enum class RegionLayout { Single, Dual };

constexpr RegionLayout LayoutForVariant(std::string_view variantTag) {
    return variantTag == kVariantOrin7250 || variantTag == kVariantOrin7240 ? RegionLayout::Dual
                                                                            : RegionLayout::Single;
}

}  // namespace flashtool
