// The two methods that write pages into the drive's buffer and read each one back: the
// plain buffer write (method 0) and the segmented buffer write (method 4).

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "core/Bytes.h"
#include "core/FixedText.h"
#include "core/Format.h"
#include "flash/PageTransfer.h"
#include "flash/TransferCommands.h"
#include "flash/TransferReplies.h"

namespace flashtool {

namespace {

constexpr size_t kPayloadOffset = 64;
constexpr uint32_t kFailureLimit = 5;
constexpr uint32_t kSegmentLength = 65536;

// A zero-filled buffer for one call, rounded up to whole pages: a last partial page goes
// out with zero fill instead of whatever lies past the image.
class PageBuffer {
public:
    bool Obtain(uint32_t wanted) {
        size = ((uint64_t{wanted} + kPageSize - 1) / kPageSize) * kPageSize;
        bytes.reset(new (std::nothrow) uint8_t[size]());
        return bytes != nullptr;
    }
    std::span<uint8_t> Span() { return {bytes.get(), size}; }

private:
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

}  // namespace

bool PageTransfer::QueryFlashSize() {
    std::array<uint8_t, kFlashSizeReplyLength> reply{};
    const auto cdb = FlashSizeQueryCdb();
    if (!Send(cdb, DataDirection::In, reply.data(), kFlashSizeReplyLength, kLongCommandTimeout)
             .Ok()) {
        return false;
    }
    const std::optional<uint32_t> size = FlashSizeFromReply(reply);
    flashSize = size.value_or(flashSize);
    return size.has_value();
}

bool PageTransfer::SendVerifiedPage(std::span<const uint8_t> write, std::span<const uint8_t> read,
                                    uint8_t* page, uint8_t* readBackPage) {
    if (!Send(write, DataDirection::Out, page, kPageSize, kLongCommandTimeout).Took()) {
        return false;
    }
    std::memset(readBackPage, 0, kPageSize);
    // A short read-back is zero-filled: a page whose tail is zeros would compare equal with
    // bytes the drive never sent.
    if (!Send(read, DataDirection::In, readBackPage, kPageSize, kLongCommandTimeout).MovedAll()) {
        return false;
    }
    return std::memcmp(page, readBackPage, kPageSize) == 0;
}

template <typename WriteCdb, typename ReadCdb>
bool PageTransfer::SendPagesWithReadBack(std::span<uint8_t> image, std::span<uint8_t> readBack,
                                         uint32_t length, WriteCdb write, ReadCdb read,
                                         ReadBackCounters& counters) {
    uint64_t o = 0;
    while (o < length) {
        if (o + kPageSize > image.size() || o + kPageSize > readBack.size()) {
            return false;  // the buffers are sized in whole pages; never reached
        }
        const auto offset = static_cast<uint32_t>(o);
        if (SendVerifiedPage(write(offset), read(offset), image.data() + o, readBack.data() + o)) {
            counters.failures = 0;
            diagnostics.Write(FormatText("Transfer of %d page 16k bytes\n", counters.pageNumber));
            if (counters.progress != nullptr && *counters.progress) {
                (*counters.progress)(static_cast<uint32_t>(counters.pageNumber),
                                     counters.totalPages);
            }
            ++counters.pageNumber;
            o += kPageSize;
        } else {
            ++counters.failures;  // the same page is tried again
        }
        if (o < length && counters.failures >= kFailureLimit) {
            diagnostics.Write(FormatText("Error Happen in ID %x OFFSET 0x%04X",
                                         static_cast<unsigned>((o >> 16) & 0xFF),
                                         static_cast<unsigned>(o & 0xFFFF)));
            return false;
        }
    }
    return true;
}

TransferOutcome PageTransfer::BufferWriteWithReadBack(const TransferInputs& inputs) {
    const uint32_t size = inputs.selectedSize;
    if (!FitsAt(inputs.storedRegion, kPayloadOffset, size)) {
        return TransferOutcome::Failed;
    }
    PageBuffer image;
    PageBuffer readBack;
    if (!image.Obtain(size) || !readBack.Obtain(size)) {
        return TransferOutcome::Failed;
    }
    if (!QueryFlashSize()) {
        return TransferOutcome::Failed;
    }
    if (size != flashSize) {
        diagnostics.Write("This file is not the correct bin file");
        return TransferOutcome::Failed;
    }
    diagnostics.Write("\nFirmware will be upgraded!\n");
    diagnostics.Write("\n\nTransferring firmware...");
    std::copy_n(inputs.storedRegion.data() + kPayloadOffset, size, image.Span().begin());

    ReadBackCounters counters;
    counters.totalPages = static_cast<uint32_t>((uint64_t{flashSize} + kPageSize - 1) / kPageSize);
    counters.progress = &inputs.progress;
    if (!SendPagesWithReadBack(image.Span(), readBack.Span(), flashSize, BufferPageWriteCdb,
                               BufferPageReadCdb, counters)) {
        return TransferOutcome::Failed;
    }
    const auto activate = ActivateCdb();
    return FinalCommandVerdict(
        Send(activate, DataDirection::None, nullptr, 0, kShortCommandTimeout));
}

TransferOutcome PageTransfer::SegmentedWrite(const TransferInputs& inputs) {
    struct Segment {
        uint8_t number;
        uint32_t length;
    };
    const uint32_t size = inputs.selectedSize;
    const bool twoSegments = inputs.twoSegments;
    std::array<Segment, 2> segments{};
    size_t segmentCount = 1;
    if (twoSegments) {
        // Each segment sends 65,536 bytes: a smaller image cannot fill one, and both
        // segments must lie inside the stored region.
        if (size < kSegmentLength ||
            !FitsAt(inputs.storedRegion, kPayloadOffset, 2 * kSegmentLength)) {
            return TransferOutcome::Failed;
        }
        segments = {{{1, kSegmentLength}, {0, kSegmentLength}}};
        segmentCount = 2;
    } else {
        // An empty image would end as a success with nothing written.
        if (size == 0 || !FitsAt(inputs.storedRegion, kPayloadOffset, size)) {
            return TransferOutcome::Failed;
        }
        segments[0] = {0, size};
    }
    PageBuffer image;
    PageBuffer readBack;
    if (!image.Obtain(size) || !readBack.Obtain(size)) {
        return TransferOutcome::Failed;
    }
    diagnostics.Write("\nFirmware will be upgraded!\n");
    diagnostics.Write("\n\nTransferring firmware...");

    ReadBackCounters counters;
    counters.progress = &inputs.progress;
    for (size_t i = 0; i < segmentCount; ++i) {
        counters.totalPages +=
            static_cast<uint32_t>((uint64_t{segments[i].length} + kPageSize - 1) / kPageSize);
    }
    for (size_t i = 0; i < segmentCount; ++i) {
        const Segment segment = segments[i];
        const uint8_t* from =
            inputs.storedRegion.data() + kPayloadOffset + size_t{segment.number} * kSegmentLength;
        std::copy_n(from, segment.length, image.Span().begin());
        const auto idOf = [&](uint32_t o) {
            return twoSegments ? segment.number : static_cast<uint8_t>((o >> 16) & 0xFF);
        };
        const auto write = [&](uint32_t o) {
            return SegmentPageWriteCdb(idOf(o), static_cast<uint16_t>(o & 0xFFFF));
        };
        const auto read = [&](uint32_t o) {
            return SegmentPageReadCdb(idOf(o), static_cast<uint16_t>(o & 0xFFFF));
        };
        if (!SendPagesWithReadBack(image.Span(), readBack.Span(), segment.length, write, read,
                                   counters)) {
            return TransferOutcome::Failed;
        }
        const auto commit = SegmentCommitCdb(segment.number);
        const TransferOutcome verdict =
            FinalCommandVerdict(Send(commit, DataDirection::None, nullptr, 0, kLongCommandTimeout));
        if (verdict != TransferOutcome::Done) {
            // Only the last segment's commit may go unconfirmed: after an earlier one the
            // remaining segments were never sent, so the image in the drive is incomplete.
            return i + 1 == segmentCount ? verdict : TransferOutcome::Failed;
        }
    }
    return TransferOutcome::Done;
}

}  // namespace flashtool
