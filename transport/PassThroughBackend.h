#pragma once

// The pass-through seam: everything that differs between operating systems when one CDB
// is sent to one drive. A back-end only finds devices and moves bytes; ScsiTransport keeps
// the device table, the selection, the sense fields, the CDB length rule and the whole
// Execute contract.
//
// Threading: a back-end is used by one thread at a time (the user-interface thread, or the
// flash worker while a run owns the transport). Nothing here takes a lock.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transport/ScsiTypes.h"

namespace flashtool {

class UserNotifier;

// How a back-end reaches one device: an opaque handle of the back-end's own (0 = none),
// or an adapter and target number. The logical unit is always 0.
struct DeviceAddress {
    std::intptr_t handle = 0;
    uint8_t hostAdapter = 0;
    uint8_t target = 0;
};

enum class ExclusiveClaim : uint8_t { Claimed, NotOffered, Busy };

// One command as the back-end receives it: the CDB already cut to its exact length, the
// direction already normalised, and for None no buffer and a length of 0.
struct ScsiRequest {
    std::span<const uint8_t> cdb;
    DataDirection direction = DataDirection::None;
    uint8_t* data = nullptr;
    uint32_t length = 0;
    uint32_t timeoutSeconds = kShortCommandTimeout;
};

// What went wrong, ranked: the command completed with a SCSI status; it timed out; the
// host adapter or driver failed it; or the operating system refused the request.
enum class OutcomeKind : uint8_t { Completed, TimedOut, TransportError, OsError };

struct PassThroughOutcome {
    OutcomeKind kind = OutcomeKind::TransportError;
    uint8_t scsiStatus = kStatusGood;  // meaningful when kind is Completed
    std::optional<SenseInfo> sense;    // captured by the transport whenever present
    uint32_t residual = 0;             // bytes asked for but not moved
    int osError = 0;                   // errno or the platform's error code, for OsError
    // What the user should be told about this drive (a back-end never shows anything
    // itself: a worker must not block on a box it did not ask for).
    std::optional<std::string> notice;

    static PassThroughOutcome Good(uint32_t residual = 0) {
        PassThroughOutcome outcome = Status(kStatusGood);
        outcome.residual = residual;
        return outcome;
    }
    static PassThroughOutcome CheckCondition(SenseInfo sense) {
        PassThroughOutcome outcome = Status(kStatusCheckCondition);
        outcome.sense = sense;
        return outcome;
    }
    static PassThroughOutcome Status(uint8_t status) {
        PassThroughOutcome outcome;
        outcome.kind = OutcomeKind::Completed;
        outcome.scsiStatus = status;
        return outcome;
    }
    static PassThroughOutcome TimedOut() {
        PassThroughOutcome outcome;
        outcome.kind = OutcomeKind::TimedOut;
        return outcome;
    }
    static PassThroughOutcome TransportFailure() { return PassThroughOutcome{}; }
    static PassThroughOutcome OsFailure(int error) {
        PassThroughOutcome outcome;
        outcome.kind = OutcomeKind::OsError;
        outcome.osError = error;
        return outcome;
    }
};

// How every back-end's outcome maps to the Execute contract: Ok only when the command
// completed with a status after which the drive did its work (GOOD, CONDITION MET,
// INTERMEDIATE); TimedOut for a time-out; Failed for everything else, BUSY included.
ExecResult ClassifyOutcome(const PassThroughOutcome& outcome);

class PassThroughBackend {
public:
    virtual ~PassThroughBackend() = default;

    // The one start-up call: the back-end loads what its pass-through layer needs (where a
    // platform has several, the program chose the back-end of one before); a back-end that
    // needs nothing says yes. A failure may first tell the user why; the transport then
    // shows LoadFailureMessage().
    virtual bool Start(UserNotifier& /*notifier*/) { return true; }
    virtual std::string LoadFailureMessage() const {
        return "The drive interface could not be loaded.";
    }

    // What to check when a scan found no drive at all: one or two sentences in the
    // platform's terms ("No Device found!" alone does not say where to look).
    virtual std::string NoDriveHint() const {
        return "Check that the drive is connected and that the system shows it.";
    }

    // Allocation length of the discovery INQUIRY.
    virtual uint8_t InquiryLength() const { return 56; }

    // Discovery: candidates come one at a time, in a stable order, already opened where the
    // layer needs a handle. A candidate the transport rejects is closed with CloseDevice.
    // EndDiscovery tells the user about drives that exist but cannot be used.
    virtual void BeginDiscovery() = 0;
    virtual std::optional<DeviceAddress> NextCandidate() = 0;
    virtual void EndDiscovery(UserNotifier& /*notifier*/) {}
    // True when the last discovery found drives that exist but could not be opened (the
    // user was told which and why): a list of the drives it offered is not the whole truth.
    virtual bool DiscoveryMissedDrives() const { return false; }

    // Sends one command and waits for it to complete.
    virtual PassThroughOutcome Send(const DeviceAddress& device, const ScsiRequest& request) = 0;

    virtual void CloseDevice(const DeviceAddress& device) = 0;

    // The names an operator may call an open device by on the command line, the node
    // commands go through first (Linux: "/dev/sg1", then "/dev/sr0"); none where the
    // platform has no such names.
    virtual std::vector<std::string> NodeNames(const DeviceAddress& /*device*/) const { return {}; }

    // Where the device sits, in words that stay the same across restarts of the system for
    // as long as the drive stays plugged in where it is (Linux: its SCSI target's path under
    // sysfs, host number aside; Windows: the device instance path), so that the history knows
    // a drive without a serial number again. "" where the platform cannot say.
    virtual std::string DrivePlace(const DeviceAddress& /*device*/) const { return {}; }

    // Discovery offers only the device first named `node` (see NodeNames), and leaves every
    // other one unopened: a worker that serves one drive must not open the drives that
    // other workers hold for their runs. Nothing changes where the platform has no names.
    // `row` is the device's row in a full scan, by which a trace keeps numbering it.
    virtual void LimitDiscoveryTo(const std::string& /*node*/, size_t /*row*/) {}

    // While a run holds a drive, no other program may send it commands where the platform
    // can promise that. Busy: another program has it open now. The address stays valid
    // whatever the answer.
    virtual ExclusiveClaim ClaimExclusive(const DeviceAddress& /*device*/) {
        return ExclusiveClaim::NotOffered;
    }
    virtual void ReleaseExclusive(const DeviceAddress& /*device*/) {}

    // Frees whatever Start loaded. Called once, after every device was closed.
    virtual void Unload() {}
};

}  // namespace flashtool
