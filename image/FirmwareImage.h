#pragma once

// The firmware a flash run sends: which stored payload, staged into the two run-time
// buffers, and for one transfer method expanded into the page image that goes to the
// drive. The buffers are owned by one FirmwareImage that lives as long as the dialog;
// they are allocated once, not cleared (nothing is read from them that a run did not write
// first), and only the flash run's worker touches them.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "image/BuildConfig.h"
#include "image/Checksums.h"

namespace flashtool {

struct PayloadSelection {
    uint32_t size = 0;  // S: the selected payload's stored size
    uint16_t expectedLinear = 0;
    uint16_t expectedRotated = 0;
    size_t first = 0;             // first stored byte of the staging range
    size_t length = 0;            // length of the staging range
    uint8_t storedPageCount = 0;  // S / 16384, rounded down, kept in 8 bits

    bool operator==(const PayloadSelection&) const = default;
};

// Picks the payload for the variant tag ("ORIN_7250" takes payload B and its sums from
// `header`, anything else payload A or the only payload from `config`) and its staging
// range, by the first rule that holds:
//   1. the build's family (in `config`) stages from a fixed offset (FamilyTraits): from 64,
//      S - 12 bytes (none when S is below 12), whatever the tag;
//   2. tag "ORIN_7250": from 118 + A, S bytes;
//   3. tag "ORIN_7240": from 78, S bytes;
//   4. otherwise: from 64, S bytes.
PayloadSelection SelectPayload(std::string_view variantTag, const BuildConfig& config,
                               const PayloadHeader& header);

class FirmwareImage {
public:
    FirmwareImage();

    // One pass over the staging range: each byte is copied to the same position in both
    // buffers and fed to both sums (starting at 0). Nothing is written, and nothing is
    // returned, when the range runs past `region` or is longer than a buffer.
    std::optional<RunningSums> StagePayload(std::span<const uint8_t> region,
                                            const PayloadSelection& selection);

    // Expands the zlib stream that starts at the staging buffer's fifth byte into the work
    // buffer, from its first byte. At most storedPageCount * 16384 - 132 input bytes are
    // read. Gives the number of whole pages expanded, or kInflateFailed (0xFF) when the
    // library cannot start, the stream is corrupt, the stream does not reach its end (with
    // its check value) within the input limit, the image would not fit the work buffer, or
    // it is empty or not a whole number of pages.
    uint8_t InflatePayload(uint8_t storedPageCount);

    // Both sums of the first pageCount pages of the work buffer (0 and 0 for no pages);
    // nothing for a count beyond the buffer.
    std::optional<RunningSums> ExpandedImageSums(uint8_t pageCount) const;

    // The whole buffers; only the bytes a call above wrote hold anything defined.
    std::span<const uint8_t> StagingBuffer() const;
    std::span<const uint8_t> WorkBuffer() const;

    // The allocator zlib uses; empty functions mean the library's own. Lets a test make
    // the library's start fail.
    void SetZlibAllocator(alloc_func allocate, free_func release, void* opaque);

private:
    std::unique_ptr<uint8_t[]> staging;
    std::unique_ptr<uint8_t[]> work;
    alloc_func zlibAllocate = nullptr;
    free_func zlibRelease = nullptr;
    void* zlibOpaque = nullptr;
};

}  // namespace flashtool
