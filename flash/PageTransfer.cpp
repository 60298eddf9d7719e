#include "flash/PageTransfer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/Bytes.h"
#include "core/FixedText.h"
#include "core/Format.h"
#include "flash/TransferCommands.h"
#include "image/Checksums.h"

namespace flashtool {

namespace {

constexpr size_t kPayloadOffset = 64;  // the image follows the 64-byte build configuration
constexpr uint32_t kBlockSettleMs = 5000;

uint64_t PagesBytes(uint32_t pages) {
    return uint64_t{pages} * kPageSize;
}

void Tell(const TransferInputs& inputs, uint32_t done, uint32_t total) {
    if (inputs.progress) {
        inputs.progress(done, total);
    }
}

}  // namespace

PageTransfer::PageTransfer(ScsiDevice deviceIn, Clock& clockIn, DiagnosticSink& diagnosticsIn)
    : device(deviceIn), clock(clockIn), diagnostics(diagnosticsIn) {}

CommandResult PageTransfer::Send(std::span<const uint8_t> cdb, DataDirection direction,
                                 uint8_t* data, uint32_t length, uint32_t timeoutSeconds) {
    return device.Execute(cdb, direction, data, length, timeoutSeconds);
}

TransferOutcome PageTransfer::FinalCommandVerdict(const CommandResult& command) {
    if (command.Took()) {
        return TransferOutcome::Done;
    }
    // A drive held by another initiator's reservation never ran the command: it did not take
    // the image's end, and nothing it reports later can say otherwise.
    if (command.sent && command.outcome.kind == OutcomeKind::Completed &&
        command.outcome.scsiStatus == kStatusReservationConflict) {
        return TransferOutcome::Failed;
    }
    // A drive that says the request, the medium, its hardware, the protection of its flash or
    // the comparison of what it received is wrong has refused the image. One that resets on
    // activation answers late, with a unit attention, or not at all; one that answers BUSY
    // (or its queue is full) may still be committing the image it took: that is no refusal,
    // only no confirmation, and the revision it reports after a restart decides.
    if (command.CheckCondition()) {
        switch (command.SenseKey()) {
            case kSenseKeyIllegalRequest:
            case kSenseKeyMediumError:
            case kSenseKeyHardwareError:
            case kSenseKeyDataProtect:
            case kSenseKeyMiscompare:
                return TransferOutcome::Failed;
            default:
                break;
        }
    }
    return TransferOutcome::DoneUnconfirmed;
}

TransferOutcome PageTransfer::TransferImage(const TransferInputs& inputs) {
    switch (inputs.method) {
        case TransferMethod::BufferWriteReadBack:
            return BufferWriteWithReadBack(inputs);
        case TransferMethod::SignedPages:
            return SignedPages(inputs);
        case TransferMethod::SummedPages:
            return SummedPages(inputs);
        case TransferMethod::Blocks:
            return Blocks(inputs);
        case TransferMethod::SegmentedWrite:
            return SegmentedWrite(inputs);
    }
    return TransferOutcome::Failed;  // no such method: nothing is sent
}

// Pages numbered from 1, each signed with its own sum and the staged image's linear sum.
TransferOutcome PageTransfer::SignedPages(const TransferInputs& inputs) {
    const uint8_t count = inputs.storedPageCount;
    // An empty image would end as a success with nothing written.
    if (count == 0 || !FitsAt(inputs.storedRegion, kPayloadOffset, PagesBytes(count))) {
        return TransferOutcome::Failed;
    }
    std::vector<uint8_t> page(kPageSize);
    for (uint32_t p = 1; p <= count; ++p) {
        const uint8_t* source = inputs.storedRegion.data() + kPayloadOffset + PagesBytes(p - 1);
        std::copy_n(source, kPageSize, page.begin());
        const auto pageSum = static_cast<uint16_t>(ByteSum(page.data(), kPageSize));
        const auto cdb = SignedPageCdb(pageSum, inputs.linearSum, static_cast<uint8_t>(p), count);
        if (!Send(cdb, DataDirection::Out, page.data(), kPageSize, kLongCommandTimeout).Took()) {
            return TransferOutcome::Failed;
        }
        Tell(inputs, p, count);
    }
    return TransferOutcome::Done;
}

// Pages numbered from 0, each carrying the sums of the whole image: from the work buffer
// after a decompression, else straight from the stored range.
TransferOutcome PageTransfer::SummedPages(const TransferInputs& inputs) {
    const uint8_t count = inputs.expanded ? inputs.expandedPageCount : inputs.storedPageCount;
    const uint8_t* first = nullptr;
    if (inputs.expanded) {
        if (PagesBytes(count) <= inputs.workBuffer.size()) {
            first = inputs.workBuffer.data();
        }
    } else if (FitsAt(inputs.storedRegion, inputs.stagingFirst, PagesBytes(count))) {
        first = inputs.storedRegion.data() + inputs.stagingFirst;
    }
    if (count == 0 || first == nullptr) {
        return TransferOutcome::Failed;
    }
    const bool pageSum = inputs.pageSums;
    std::vector<uint8_t> page(kPageSize);
    for (uint32_t p = 0; p < count; ++p) {
        std::copy_n(first + PagesBytes(p), kPageSize, page.begin());
        const uint16_t x =
            pageSum ? static_cast<uint16_t>(ByteSum(page.data(), kPageSize)) : inputs.rotatedSum;
        const auto cdb =
            SummedPageCdb(inputs.linearSum, x, inputs.rotatedSum, static_cast<uint8_t>(p), count);
        if (!Send(cdb, DataDirection::Out, page.data(), kPageSize, kLongCommandTimeout).Took()) {
            return TransferOutcome::Failed;
        }
        Tell(inputs, p + 1, count);
    }
    return TransferOutcome::Done;
}

// 4,096-byte blocks, each followed on the wire by its 16-bit sum, most significant byte
// first. The block count is wide: the offset field carries four bytes.
TransferOutcome PageTransfer::Blocks(const TransferInputs& inputs) {
    const uint32_t size = inputs.selectedSize;
    const uint64_t blocks = (uint64_t{size} + kBlockImageSize - 1) / kBlockImageSize;
    if (blocks == 0 || !FitsAt(inputs.storedRegion, kPayloadOffset, blocks * kBlockImageSize)) {
        return TransferOutcome::Failed;
    }
    diagnostics.Write("\nTransferring firmware...");
    // The start goes out twice and neither answer is looked at: a drive that missed the
    // first still opens its block session on the second.
    Send(BlockStartCdb(), DataDirection::None, nullptr, 0, kShortCommandTimeout);
    Send(BlockStartCdb(), DataDirection::None, nullptr, 0, kShortCommandTimeout);

    std::vector<uint8_t> block(kBlockWireSize);
    uint32_t total = 0;
    for (uint64_t k = 0; k < blocks; ++k) {
        std::fill(block.begin(), block.end(), 0);
        const uint64_t offset = k * kBlockImageSize;
        std::copy_n(inputs.storedRegion.data() + kPayloadOffset + offset, kBlockImageSize,
                    block.begin());
        const uint32_t sum = ByteSum(block.data(), kBlockWireSize);
        StoreBigEndian16(block, kBlockImageSize, static_cast<uint16_t>(sum));
        total += sum;
        const auto cdb = BlockWriteCdb(static_cast<uint32_t>(offset));
        if (!Send(cdb, DataDirection::Out, block.data(), kBlockWireSize, kShortCommandTimeout)
                 .Took()) {
            return TransferOutcome::Failed;
        }
        Tell(inputs, static_cast<uint32_t>(k + 1), static_cast<uint32_t>(blocks));
    }
    diagnostics.Write(FormatText("\nFirmware checksum = %04X\n", total));
    const TransferOutcome verdict = FinalCommandVerdict(
        Send(BlockFinishCdb(size), DataDirection::None, nullptr, 0, kShortCommandTimeout));
    if (verdict == TransferOutcome::Failed) {
        return TransferOutcome::Failed;
    }
    clock.SleepMs(kBlockSettleMs);
    return verdict;
}

}  // namespace flashtool
