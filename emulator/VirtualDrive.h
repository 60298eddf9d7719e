#pragma once

// A model of the target drive family's command set. It answers what the program sends,
// keeps the state a real drive keeps, checks what it receives the way a drive would, and
// records a trace of every command so that tests can assert on the wire. Faults are
// injected per scenario.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "emulator/TransferState.h"
#include "emulator/VendorState.h"
#include "transport/PassThroughBackend.h"
#include "transport/ScsiTypes.h"
#include "transport/TraceLine.h"

namespace flashtool {

// Sense conditions a drive reports.
namespace sense {
constexpr SenseInfo kMediumNotPresent{0x02, 0x3A, 0x00};
constexpr SenseInfo kBecomingReady{0x02, 0x04, 0x01};
constexpr SenseInfo kMediumChanged{0x06, 0x28, 0x00};
constexpr SenseInfo kPowerOnReset{0x06, 0x29, 0x00};
constexpr SenseInfo kInvalidOpcode{0x05, 0x20, 0x00};
constexpr SenseInfo kInvalidField{0x05, 0x24, 0x00};
}  // namespace sense

enum class FaultKind : uint8_t {
    TransportFailure,  // the adapter fails the command: Failed, no sense
    TimeOut,           // TimedOut
    CheckCondition,    // CHECK CONDITION with the fault's sense
    Busy,              // SCSI status BUSY
    Short,             // GOOD, with `residual` bytes not moved
    Delay,             // answered as usual, after the fault's wait
    Vanish,            // the device is unplugged: this and every later command fail
};

// Hits the `occurrence`-th command (1-based) that matches; occurrence 0 hits every match.
// A fault with no opcode matches every command; with a sub-function it also matches CDB
// byte 1.
//
// Before its answer the drive waits `delayMs` on its clock; a time-out with no delayMs of
// its own waits the command's time-out, as a pass-through layer does before it gives up.
// A short answer to a data-in command carries the drive's data with its last `residual`
// bytes not moved; a short answer to any other command is GOOD although the drive never
// took the command in, which is what a drive that loses data looks like from the host.
struct Fault {
    std::optional<uint8_t> opcode;
    std::optional<uint8_t> subFunction;
    uint32_t occurrence = 1;
    FaultKind kind = FaultKind::TransportFailure;
    SenseInfo sense{};
    uint32_t residual = 0;
    std::optional<uint32_t> delayMs{};
    friend bool operator==(const Fault&, const Fault&) = default;
};

// INQUIRY bytes 0-7 of a CD/DVD drive of SPC-3's time: device type 05h, removable, version
// 05h (SPC-3), response data format 2 with no further flags (no NormACA, which a drive
// without ACA must not claim), 120 bytes after byte 4, and no flags in bytes 5-7.
constexpr std::array<uint8_t, 8> kDriveInquiryHeader = {0x05, 0x80, 0x05, 0x02,
                                                        0x78, 0x00, 0x00, 0x00};

struct VirtualDriveSetup {
    std::string identification = "ORIN    DVD RW QV-5500A ";  // 24 characters
    std::string revision = "1.0d";                            // 4 characters
    std::string oemTag = "ORIN      QZ";                      // INQUIRY bytes 96-110
    bool discPresent = false;
    friend bool operator==(const VirtualDriveSetup&, const VirtualDriveSetup&) = default;
};

class VirtualDrive {
public:
    explicit VirtualDrive(VirtualDriveSetup setup = {});

    // Carries out one command and records it in the trace. With a clock, the drive takes
    // its latency and its faults' waits on it; without one it answers at once.
    PassThroughOutcome Handle(const ScsiRequest& request);

    // Scenario controls.
    void SetClock(Clock* clockIn) { clock = clockIn; }
    // How long every command the drive takes in lasts before its answer.
    void SetLatencyMs(uint32_t milliseconds) { latencyMs = milliseconds; }
    void AddFault(const Fault& fault) { faults.push_back(FaultSlot{fault, 0}); }
    void SetDiscPresent(bool present) { discPresent = present; }
    // The unit serial number (VPD page 0x80), byte for byte; empty: the drive has none and
    // refuses the page.
    void SetSerial(std::string serialIn) { serial = std::move(serialIn); }
    // INQUIRY bytes 0-7 as a recorded drive answered them; an additional length (byte 4)
    // beyond 120 also lengthens the standard data, with zeros.
    void SetInquiryHeader(const std::array<uint8_t, 8>& header) { inquiryHeader = header; }
    // A reader (a DVD-ROM drive) lists a reader's profiles and claims no writing in its
    // capabilities page; otherwise the drive is a DVD writer.
    void SetReader(bool isReader) { reader = isReader; }
    // Conditions reported, one per TEST UNIT READY, before the tray's steady answer.
    void QueueReadiness(const SenseInfo& condition) { readinessScript.push_back(condition); }
    // Every later command fails as if the device had been unplugged.
    void Vanish() { vanished = true; }
    // The device code and size the drive reports to the flash size query.
    void SetFlashSizeReply(const FlashSizeReply& reply) { transfer.flashSizeReply = reply; }
    // Read-backs `first` to `first` + `count` - 1 (counted from 1; count 0: every one from
    // `first` on) come back with one byte changed. Ranges add up.
    void CorruptReadBacks(uint32_t first, uint32_t count) {
        transfer.corruptions.push_back({first, count});
    }
    // An image without the synthetic firmware's header (a real firmware file) that arrives
    // whole and checks out is installed at this revision; with none set, such an image is
    // refused.
    void SetOpaqueImageRevision(std::string revisionIn) {
        transfer.opaqueImageRevision = std::move(revisionIn);
    }
    // Page commands carry each page's own sum where other drives take the rotated sum.
    void SetChecksPageSums(bool checks) { transfer.checksPageSums = checks; }
    // The revision the drive reports, as if its firmware had been put back at the factory:
    // a benchmark updates one drive again and again.
    void SetRevision(std::string revisionIn) { revision = std::move(revisionIn); }

    const std::vector<TraceEntry>& Trace() const { return trace; }
    void ClearTrace() { trace.clear(); }
    const std::string& Identification() const { return identification; }
    const std::string& Revision() const { return revision; }
    const std::string& Serial() const { return serial; }
    VendorState& Vendor() { return vendor; }
    TransferState& Transfer() { return transfer; }

private:
    struct FaultSlot {
        Fault fault;
        uint32_t seen;
    };

    PassThroughOutcome Dispatch(const ScsiRequest& request);
    PassThroughOutcome Answer(const ScsiRequest& request);
    const Fault* MatchingFault(const ScsiRequest& request);
    PassThroughOutcome Injected(const Fault& fault, const ScsiRequest& request);
    void Wait(uint32_t milliseconds);
    // INQUIRY lives in its own file.
    PassThroughOutcome Inquiry(const ScsiRequest& request);
    PassThroughOutcome StandardInquiry(const ScsiRequest& request);
    PassThroughOutcome VitalProductData(const ScsiRequest& request, uint8_t page);
    PassThroughOutcome TestUnitReady();
    // GET CONFIGURATION and READ CAPACITY, in their own file.
    PassThroughOutcome GetConfiguration(const ScsiRequest& request) const;
    PassThroughOutcome ReadCapacity(const ScsiRequest& request) const;
    // Vendor and transfer commands live in their own files.
    PassThroughOutcome HandleVendor(const ScsiRequest& request);
    PassThroughOutcome HandleTransfer(const ScsiRequest& request);
    void Record(const ScsiRequest& request, const PassThroughOutcome& outcome);

    std::string identification;
    std::string revision;
    std::string oemTag;
    std::string serial;
    std::array<uint8_t, 8> inquiryHeader = kDriveInquiryHeader;
    bool reader = false;
    bool discPresent;
    bool vanished = false;
    Clock* clock = nullptr;
    uint32_t latencyMs = 0;
    std::deque<SenseInfo> readinessScript;
    std::vector<FaultSlot> faults;
    std::vector<TraceEntry> trace;
    VendorState vendor;
    TransferState transfer;
};

// Copies `reply` into the request's buffer (as much as fits) and reports the residual.
PassThroughOutcome ReplyWith(const ScsiRequest& request, std::span<const uint8_t> reply);

}  // namespace flashtool
