#pragma once

// Packs a build's stored region: BuildConfig, (PayloadHeader,) the payloads, (the separator
// record,) and the region's two sums, in the single or the dual layout of image/ImageLayout.h.
// The expected sums in BuildConfig and PayloadHeader are those of exactly the bytes a flash
// run stages for that payload.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/fwpack/BuildDescription.h"

namespace flashtool {

// zlib at level 9 with the default window: the stream begins with 0x78 0xDA.
std::vector<uint8_t> CompressImage(std::span<const uint8_t> image);

// The least whole number of pages that holds the length word, the stream and the 128 bytes
// the decompression input limit stops short of the end.
size_t PayloadSizeFor(size_t streamSize);

// The length word, the stream, zero fill to `payloadSize` (the stream is cut if it is
// longer: tests use that for truncated payloads).
std::vector<uint8_t> MakePayload(std::span<const uint8_t> stream, size_t payloadSize);

// Lays out the region from payloads as they are, with no size limit checked: tests use it
// for regions the packer would refuse. `payloadB` is ignored in the single layout.
std::vector<uint8_t> LayOutRegion(const BuildDescription& description,
                                  std::span<const uint8_t> payloadA,
                                  std::span<const uint8_t> payloadB);

struct PackedPayload {
    size_t streamSize = 0;
    size_t payloadSize = 0;
    uint16_t expectedLinear = 0;
    uint16_t expectedRotated = 0;
};

struct PackResult {
    std::vector<uint8_t> region;  // empty on error
    std::string error;
    PackedPayload payloadA;
    PackedPayload payloadB;
    size_t coveredLength = 0;  // where the region sums lie
    uint16_t regionLinear = 0;
    uint16_t regionRotated = 0;
};

// Checks the description and the raw images (B only in the dual layout), compresses them
// and lays out the region. Refuses an image that is empty or larger than 2,097,152 bytes,
// a stream that does not fit its payload size, a payload larger than a buffer, and a dual
// region longer than the check accepts. A refusal begins with `nameA` or `nameB`, what
// names the image to its reader (the description's field and line, or the file).
PackResult PackRegion(const BuildDescription& description, std::span<const uint8_t> imageA,
                      std::span<const uint8_t> imageB, std::string_view nameA = "image A",
                      std::string_view nameB = "image B");

}  // namespace flashtool
