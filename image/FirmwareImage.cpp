#include "image/FirmwareImage.h"

#include <cstring>

#include "core/FixedText.h"
#include "image/FamilyTraits.h"
#include "image/ImageLayout.h"

namespace flashtool {

namespace {

// The rotated sum is a serial chain of two steps a byte; copying 16 bytes at a time to
// both buffers and adding them to the linear sum fit in beside it, so staging costs about
// what the rotated sum alone costs.
constexpr size_t kStagingGroup = 16;

RunningSums CopyAndSum(const uint8_t* source, uint8_t* first, uint8_t* second, size_t count) {
    RunningSums sums;
    size_t i = 0;
    for (; count - i >= kStagingGroup; i += kStagingGroup) {
        std::memcpy(first + i, source + i, kStagingGroup);
        std::memcpy(second + i, source + i, kStagingGroup);
        for (size_t k = 0; k < kStagingGroup; ++k) {
            sums.Add(source[i + k]);
        }
    }
    for (; i < count; ++i) {
        first[i] = source[i];
        second[i] = source[i];
        sums.Add(source[i]);
    }
    return sums;
}

}  // namespace

PayloadSelection SelectPayload(std::string_view variantTag, const BuildConfig& config,
                               const PayloadHeader& header) {
    PayloadSelection selection;
    if (variantTag == kVariantOrin7250) {
        selection.size = header.ImageSize();
        selection.expectedLinear = header.ExpectedLinear();
        selection.expectedRotated = header.ExpectedRotated();
    } else {
        selection.size = config.ImageSize();
        selection.expectedLinear = config.ExpectedLinear();
        selection.expectedRotated = config.ExpectedRotated();
    }
    selection.storedPageCount = static_cast<uint8_t>(selection.size / kPageSize);
    if (TraitsOf(config.FamilyCode()).fixedOffset) {
        selection.first = kSinglePayloadOffset;
        selection.length =
            selection.size < kFixedOffsetTrim ? 0 : selection.size - kFixedOffsetTrim;
    } else if (variantTag == kVariantOrin7250) {
        selection.first = kDualFixedSize + static_cast<size_t>(config.ImageSize());
        selection.length = selection.size;
    } else if (variantTag == kVariantOrin7240) {
        selection.first = kDualPayloadAOffset;
        selection.length = selection.size;
    } else {
        selection.first = kSinglePayloadOffset;
        selection.length = selection.size;
    }
    return selection;
}

// Not zero-filled: a run reads only what it has written (StagePayload's range, which the
// inflate limit stays inside, and the pages InflatePayload expanded), and filling 4 MB for
// every drive of a run over many drives costs more than the drives' checks.
FirmwareImage::FirmwareImage()
    : staging(std::make_unique_for_overwrite<uint8_t[]>(kImageBufferSize)),
      work(std::make_unique_for_overwrite<uint8_t[]>(kImageBufferSize)) {}

std::optional<RunningSums> FirmwareImage::StagePayload(std::span<const uint8_t> region,
                                                       const PayloadSelection& selection) {
    if (selection.length > kImageBufferSize || selection.first > region.size() ||
        selection.length > region.size() - selection.first) {
        return std::nullopt;
    }
    return CopyAndSum(region.data() + selection.first, staging.get(), work.get(), selection.length);
}

uint8_t FirmwareImage::InflatePayload(uint8_t storedPageCount) {
    const size_t storedBytes = static_cast<size_t>(storedPageCount) * kPageSize;
    // A count beyond the buffer would make the limit run past the staging buffer; a count
    // of 0 leaves no input at all.
    if (storedPageCount == 0 || storedBytes > kImageBufferSize) {
        return kInflateFailed;
    }
    const size_t limit = storedBytes - kInflateLimitShortfall;

    z_stream stream{};
    stream.next_in = staging.get() + kStreamLengthSize;
    stream.avail_in = static_cast<uInt>(limit);
    stream.next_out = work.get();
    stream.avail_out = static_cast<uInt>(kImageBufferSize);
    stream.zalloc = zlibAllocate;
    stream.zfree = zlibRelease;
    stream.opaque = zlibOpaque;
    // inflateInit passes the real size of z_stream, which the library checks.
    if (inflateInit(&stream) != Z_OK) {
        return kInflateFailed;
    }
    // The whole input limit and the whole buffer in one call: the same bytes come out as
    // when feeding one byte at a time, zlib never reads past avail_in nor writes past
    // avail_out, and only a stream that reaches its end with a good check value counts.
    const int result = inflate(&stream, Z_FINISH);
    const uLong expanded = stream.total_out;
    const int ended = inflateEnd(&stream);
    if (result != Z_STREAM_END || ended != Z_OK) {
        return kInflateFailed;
    }
    // Only whole pages are sent: a partial last page would be dropped without a word and a
    // shorter image installed under the sums of the whole one. An empty image is no image.
    if (expanded == 0 || expanded % kPageSize != 0) {
        return kInflateFailed;
    }
    return static_cast<uint8_t>(expanded / kPageSize);
}

std::optional<RunningSums> FirmwareImage::ExpandedImageSums(uint8_t pageCount) const {
    const size_t length = static_cast<size_t>(pageCount) * kPageSize;
    if (length > kImageBufferSize) {
        return std::nullopt;
    }
    RunningSums sums;
    sums.Add(std::span<const uint8_t>(work.get(), length));
    return sums;
}

std::span<const uint8_t> FirmwareImage::StagingBuffer() const {
    return {staging.get(), kImageBufferSize};
}

std::span<const uint8_t> FirmwareImage::WorkBuffer() const {
    return {work.get(), kImageBufferSize};
}

void FirmwareImage::SetZlibAllocator(alloc_func allocate, free_func release, void* opaque) {
    zlibAllocate = allocate;
    zlibRelease = release;
    zlibOpaque = opaque;
}

}  // namespace flashtool
