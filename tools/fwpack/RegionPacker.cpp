#include "tools/fwpack/RegionPacker.h"

#include <zlib.h>

#include <algorithm>

#include "core/Bytes.h"
#include "image/BuildConfig.h"
#include "image/Checksums.h"
#include "image/FirmwareImage.h"
#include "image/ImageLayout.h"
#include "policy/GatingState.h"

namespace flashtool {

namespace {

void PutText(std::span<uint8_t> bytes, size_t offset, std::string_view text, size_t width) {
    std::copy_n(text.begin(), std::min(text.size(), width), bytes.begin() + offset);
}

// Both sums of what a run with `variantTag` stages, written at `linearOffset` and the two
// bytes after it.
PackedPayload SealPayload(std::vector<uint8_t>& region, std::string_view variantTag,
                          size_t linearOffset) {
    const auto config = BuildConfig::FromBytes(region);
    const auto header = PayloadHeader::FromBytes(std::span(region).subspan(kPayloadHeaderOffset));
    const PayloadSelection selection =
        SelectPayload(variantTag, *config, header.value_or(PayloadHeader()));
    PackedPayload packed;
    packed.payloadSize = selection.size;
    if (selection.first <= region.size() && selection.length <= region.size() - selection.first) {
        RunningSums sums;
        sums.Add(std::span(region).subspan(selection.first, selection.length));
        packed.expectedLinear = sums.Linear();
        packed.expectedRotated = sums.Rotated();
    }
    StoreLittleEndian16(region, linearOffset, packed.expectedLinear);
    StoreLittleEndian16(region, linearOffset + 2, packed.expectedRotated);
    return packed;
}

void AppendRegionSums(std::vector<uint8_t>& region) {
    const uint16_t linear = LinearSum(region);
    const uint16_t rotated = RotatedSum(region);
    region.resize(region.size() + kRegionSumsSize);
    StoreLittleEndian16(region, region.size() - 4, linear);
    StoreLittleEndian16(region, region.size() - 2, rotated);
}

}  // namespace

std::vector<uint8_t> CompressImage(std::span<const uint8_t> image) {
    uLongf size = compressBound(static_cast<uLong>(image.size()));
    std::vector<uint8_t> stream(size);
    if (compress2(stream.data(), &size, image.data(), static_cast<uLong>(image.size()), 9) !=
        Z_OK) {
        return {};
    }
    stream.resize(size);
    return stream;
}

size_t PayloadSizeFor(size_t streamSize) {
    const size_t needed = streamSize + kInflateLimitShortfall;
    return (needed + kPageSize - 1) / kPageSize * kPageSize;
}

std::vector<uint8_t> MakePayload(std::span<const uint8_t> stream, size_t payloadSize) {
    std::vector<uint8_t> payload(payloadSize, 0);
    StoreLittleEndian32(payload, 0, static_cast<uint32_t>(stream.size()));
    if (payloadSize > kStreamLengthSize) {
        std::copy_n(stream.begin(), std::min(stream.size(), payloadSize - kStreamLengthSize),
                    payload.begin() + kStreamLengthSize);
    }
    return payload;
}

std::vector<uint8_t> LayOutRegion(const BuildDescription& d, std::span<const uint8_t> payloadA,
                                  std::span<const uint8_t> payloadB) {
    const bool dual = d.layout == RegionLayout::Dual;
    const size_t offsetA = dual ? kDualPayloadAOffset : kSinglePayloadOffset;
    const size_t separator = offsetA + payloadA.size();
    const size_t offsetB = separator + kSeparatorSize;
    std::vector<uint8_t> region(dual ? offsetB + payloadB.size() : separator, 0);

    const auto config = ConfigFor(d, static_cast<uint32_t>(payloadA.size())).Bytes();
    std::copy(config.begin(), config.end(), region.begin());
    std::copy(payloadA.begin(), payloadA.end(), region.begin() + offsetA);
    if (!dual) {
        SealPayload(region, "", 56);
        AppendRegionSums(region);
        return region;
    }
    PutText(region, kPayloadHeaderOffset, d.versionB, 6);
    StoreLittleEndian32(region, kPayloadHeaderOffset + 10, static_cast<uint32_t>(payloadB.size()));
    std::copy(payloadB.begin(), payloadB.end(), region.begin() + offsetB);

    const PackedPayload a = SealPayload(region, kVariantOrin7240, 56);
    SealPayload(region, kVariantOrin7250, kPayloadHeaderOffset + 6);
    StoreLittleEndian16(region, separator + kSeparatorLinearOffset, a.expectedLinear);
    StoreLittleEndian16(region, separator + kSeparatorRotatedOffset, a.expectedRotated);
    PutText(region, separator + kSeparatorTagOffset, d.separatorTag, kSeparatorTagSize - 2);
    region[separator + kSeparatorTagOffset + kSeparatorTagSize - 2] = '\n';
    region[separator + kSeparatorTagOffset + kSeparatorTagSize - 1] = 0x1A;
    StoreLittleEndian32(region, separator + kSeparatorSizeBOffset,
                        static_cast<uint32_t>(payloadB.size()));
    AppendRegionSums(region);
    return region;
}

namespace {

// Compresses one image into a payload of the given or the least size; an error otherwise.
std::string PackPayload(std::string_view name, std::span<const uint8_t> image,
                        const std::optional<uint32_t>& fixedSize, std::vector<uint8_t>& payload,
                        size_t& streamSize) {
    if (image.empty()) {
        return std::string(name) + ": the image is empty";
    }
    if (image.size() > kImageBufferSize) {
        return std::string(name) + ": the image has " + std::to_string(image.size()) +
               " bytes and cannot expand into " + std::to_string(kImageBufferSize);
    }
    const std::vector<uint8_t> stream = CompressImage(image);
    if (stream.empty()) {
        return std::string(name) + ": compression failed";
    }
    streamSize = stream.size();
    // The length word and 128 bytes after the stream lie outside the decompression limit.
    const size_t needed = stream.size() + kInflateLimitShortfall;
    const size_t size = fixedSize ? *fixedSize : PayloadSizeFor(stream.size());
    if (needed > size || size > kImageBufferSize) {
        return std::string(name) + ": the compressed payload cannot fit: its stream of " +
               std::to_string(stream.size()) + " bytes needs a payload of at least " +
               std::to_string(needed) + " bytes, and the payload may hold " +
               (fixedSize ? std::to_string(*fixedSize) : std::to_string(kImageBufferSize));
    }
    payload = MakePayload(stream, size);
    return {};
}

}  // namespace

PackResult PackRegion(const BuildDescription& description, std::span<const uint8_t> imageA,
                      std::span<const uint8_t> imageB, std::string_view nameA,
                      std::string_view nameB) {
    PackResult result;
    result.error = ValidateBuildDescription(description);
    if (!result.error.empty()) {
        return result;
    }
    const bool dual = description.layout == RegionLayout::Dual;
    std::vector<uint8_t> payloadA;
    std::vector<uint8_t> payloadB;
    result.error =
        PackPayload(nameA, imageA, description.payloadSizeA, payloadA, result.payloadA.streamSize);
    if (result.error.empty() && dual) {
        result.error = PackPayload(nameB, imageB, description.payloadSizeB, payloadB,
                                   result.payloadB.streamSize);
    }
    if (!result.error.empty()) {
        return result;
    }
    if (dual && payloadA.size() + payloadB.size() + kDualFixedSize > kMaxDualRegionLength) {
        result.error = "payloads of " + std::to_string(payloadA.size()) + " and " +
                       std::to_string(payloadB.size()) + " bytes make a dual region longer than " +
                       std::to_string(kMaxDualRegionLength) + " bytes";
        return result;
    }
    result.region = LayOutRegion(description, payloadA, payloadB);
    const auto config = *BuildConfig::FromBytes(result.region);
    result.payloadA.payloadSize = payloadA.size();
    result.payloadA.expectedLinear = config.ExpectedLinear();
    result.payloadA.expectedRotated = config.ExpectedRotated();
    if (dual) {
        const auto header =
            *PayloadHeader::FromBytes(std::span(result.region).subspan(kPayloadHeaderOffset));
        result.payloadB.payloadSize = payloadB.size();
        result.payloadB.expectedLinear = header.ExpectedLinear();
        result.payloadB.expectedRotated = header.ExpectedRotated();
    }
    result.coveredLength = result.region.size() - kRegionSumsSize;
    result.regionLinear = *LittleEndian16At(result.region, result.coveredLength);
    result.regionRotated = *LittleEndian16At(result.region, result.coveredLength + 2);
    return result;
}

}  // namespace flashtool
