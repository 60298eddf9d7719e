#pragma once

// Moves a staged firmware image into the chosen drive with the transfer method that the
// build's key selects. Five methods exist: buffer writes with read-back (0), signed page
// commands (1), page commands carrying the image sums (2), sum-protected blocks (3) and a
// segmented buffer write with read-back (4). Every command goes through the transport's
// Execute; the methods' diagnostic lines go to the DiagnosticSink (standard output).
//
// Runs on the flash worker, which owns the transport while a run is active. Buffers live
// for one call only. Every read of the stored region or of the work buffer is checked
// against its size before the first command is sent: a range that runs past either fails
// the transfer with nothing sent.

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "image/BuildConfig.h"
#include "transport/CommandResult.h"
#include "transport/ScsiDevice.h"

namespace flashtool {

// What the drive's answer to the end of a transfer leaves: failed; done; or done but the
// drive did not confirm the final activate, segment commit or block finish (it timed out,
// reported a unit attention, was busy or the transport failed: a drive that resets on
// activation, or is still committing the image, answers that way). A clear refusal there
// (CHECK CONDITION with ILLEGAL REQUEST, MEDIUM ERROR, HARDWARE ERROR, DATA PROTECT or
// MISCOMPARE, or a RESERVATION CONFLICT) is a failure.
enum class TransferOutcome : uint8_t { Failed, Done, DoneUnconfirmed };

// What the flash run hands over.
struct TransferInputs {
    std::span<const uint8_t> storedRegion;                // BuildConfig first, then the payload(s)
    TransferMethod method = TransferMethod::SummedPages;  // named by the build key
    uint32_t selectedSize = 0;                            // S
    uint8_t storedPageCount = 0;                          // S / 16,384, 8 bits
    uint32_t stagingFirst = 64;  // the staging range's first byte in the region
    uint16_t linearSum = 0;      // of the staged range, or of the expanded image
    uint16_t rotatedSum = 0;
    bool expanded = false;  // a decompression ran: pages come from workBuffer
    uint8_t expandedPageCount = 0;
    std::span<const uint8_t> workBuffer;  // the expanded image when `expanded`
    bool pageSums = false;     // the build's family: each page command carries its page's sum
    bool twoSegments = false;  // the drive's family: the segmented write sends two segments
    // Told after each page (or block) the drive took: how many so far, of how many in all.
    std::function<void(uint32_t done, uint32_t total)> progress;
};

class PageTransfer {
public:
    PageTransfer(ScsiDevice device, Clock& clock, DiagnosticSink& diagnostics);

    TransferOutcome TransferImage(const TransferInputs& inputs);

    // Asks the drive for its device code and flash size; on success sets FlashSize(),
    // which keeps the last value found for the life of this object (0 until then).
    // (One object serves one Upgrade press.)
    bool QueryFlashSize();
    uint32_t FlashSize() const { return flashSize; }

    // What the drive's answer to the command that ends a transfer means for the run.
    static TransferOutcome FinalCommandVerdict(const CommandResult& command);

private:
    struct ReadBackCounters {
        uint32_t failures = 0;  // consecutive, across segments
        int pageNumber = 1;     // of the progress lines, across segments
        uint32_t totalPages = 0;
        const std::function<void(uint32_t, uint32_t)>* progress = nullptr;
    };

    TransferOutcome BufferWriteWithReadBack(const TransferInputs& inputs);
    TransferOutcome SignedPages(const TransferInputs& inputs);
    TransferOutcome SummedPages(const TransferInputs& inputs);
    TransferOutcome Blocks(const TransferInputs& inputs);
    TransferOutcome SegmentedWrite(const TransferInputs& inputs);

    // Sends the pages of image[0, length) with read-back and compare, retrying a page
    // until it verifies or five attempts in a row have failed. `write` and `read` give the
    // two command blocks for a page offset. False after the error line was written.
    template <typename WriteCdb, typename ReadCdb>
    bool SendPagesWithReadBack(std::span<uint8_t> image, std::span<uint8_t> readBack,
                               uint32_t length, WriteCdb write, ReadCdb read,
                               ReadBackCounters& counters);
    bool SendVerifiedPage(std::span<const uint8_t> write, std::span<const uint8_t> read,
                          uint8_t* page, uint8_t* readBackPage);

    CommandResult Send(std::span<const uint8_t> cdb, DataDirection direction, uint8_t* data,
                       uint32_t length, uint32_t timeoutSeconds);

    ScsiDevice device;
    Clock& clock;
    DiagnosticSink& diagnostics;
    uint32_t flashSize = 0;
};

}  // namespace flashtool
