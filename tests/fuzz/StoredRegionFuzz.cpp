// libFuzzer target: any bytes as a stored region, read in all three layouts the variant
// tag can choose. The region check, the payload selection, staging and (for small
// payloads) decompression must never touch a byte outside the region or a buffer, and
// must give only the results they are allowed to give.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "image/FirmwareImage.h"
#include "image/ImageLayout.h"
#include "image/StoredRegion.h"
#include "policy/GatingState.h"

using namespace flashtool;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FirmwareImage image;
    const std::span<const uint8_t> region(data, size);
    const BuildConfig config = BuildConfig::FromBytes(region).value_or(BuildConfig());
    const PayloadHeader header =
        size >= kPayloadHeaderOffset
            ? PayloadHeader::FromBytes(region.subspan(kPayloadHeaderOffset))
                  .value_or(PayloadHeader())
            : PayloadHeader();
    for (const std::string_view tag : {std::string_view(), kVariantOrin7240, kVariantOrin7250}) {
        if (VerifyStoredRegion(region, tag, config, header) &&
            !CoveredLength(size, tag, config, header)) {
            std::abort();
        }
        const PayloadSelection selection = SelectPayload(tag, config, header);
        if (!image.StagePayload(region, selection)) {
            continue;
        }
        if (selection.first + selection.length > size || selection.length > kImageBufferSize) {
            std::abort();
        }
        // Small payloads only, so that the input limit stays inside what was just staged
        // and every run is the same.
        const size_t limitEnd =
            selection.storedPageCount * kPageSize - (kInflateLimitShortfall - 4);
        if (selection.storedPageCount <= 2 && selection.length >= limitEnd) {
            const uint8_t pages = image.InflatePayload(selection.storedPageCount);
            if (pages != kInflateFailed && pages > kMaxPageCount) {
                std::abort();
            }
        }
    }
    return 0;
}
