#include "emulator/DriveRecorder.h"

#include <algorithm>
#include <array>

#include "core/Format.h"
#include "drive/DriveReplies.h"
#include "drive/ReadOnlyCommands.h"
#include "drive/ReadinessWait.h"
#include "drive/VendorCdbs.h"
#include "drive/VendorCommands.h"
#include "transport/Inquiry.h"
#include "transport/InquiryReply.h"
#include "transport/ScsiTransport.h"

namespace flashtool {

namespace {

constexpr uint8_t kLongInquiryLength = 125;
constexpr size_t kOemTagWidth = 15;
constexpr size_t kInquiryHeaderLength =
    std::tuple_size_v<decltype(DriveDescription::inquiryHeader)>;

// The answers of one kind of command, in the order they were sent: none for a proper one.
struct Kind {
    uint8_t opcode;
    std::optional<uint8_t> subFunction;
    std::string name;
    std::vector<std::optional<Fault>> answers;
};

std::string SenseWords(const SenseInfo& sense) {
    return FormatText("%02X/%02X/%02X", sense.key, sense.asc, sense.ascq);
}

// The fault that makes a virtual drive answer as `result` did, or none for a proper answer.
// A short answer counts only where `shortMatters` (a record the program needs whole).
std::optional<Fault> FaultOf(const CommandResult& result, bool shortMatters) {
    Fault fault;
    const PassThroughOutcome& outcome = result.outcome;
    switch (outcome.kind) {
        case OutcomeKind::TimedOut:
            fault.kind = FaultKind::TimeOut;
            return fault;
        case OutcomeKind::TransportError:
        case OutcomeKind::OsError:
            fault.kind = FaultKind::TransportFailure;
            return fault;
        case OutcomeKind::Completed:
            break;
    }
    if (result.Ok()) {
        if (shortMatters && outcome.residual != 0) {
            fault.kind = FaultKind::Short;
            fault.residual = outcome.residual;
            return fault;
        }
        return std::nullopt;
    }
    if (outcome.scsiStatus == kStatusCheckCondition) {
        fault.kind = FaultKind::CheckCondition;
        fault.sense = outcome.sense.value_or(SenseInfo{});
        return fault;
    }
    // BUSY, and the statuses a virtual drive has no fault for: each is a failure without
    // sense to the program, which is what these two give.
    fault.kind = outcome.scsiStatus == kStatusBusy ? FaultKind::Busy : FaultKind::TransportFailure;
    return fault;
}

std::string FaultWords(const Fault& fault) {
    switch (fault.kind) {
        case FaultKind::TimeOut:
            return "timed out";
        case FaultKind::CheckCondition:
            return "refused with sense " + SenseWords(fault.sense);
        case FaultKind::Busy:
            return "busy";
        case FaultKind::Short:
            return FormatText("answered %u bytes short", fault.residual);
        default:
            return "failed without an answer";
    }
}

// The faults of one kind: one for every command when each failed alike, else one per failed
// command at its place. Listed last place first, so that every fault counts every command of
// its kind (a fault counts only the commands that no fault before it took).
void AddFaults(const Kind& kind, DriveRecording& recording) {
    std::vector<Fault> faults;
    for (size_t i = 0; i < kind.answers.size(); ++i) {
        if (const auto& fault = kind.answers[i]) {
            Fault placed = *fault;
            placed.opcode = kind.opcode;
            placed.subFunction = kind.subFunction;
            placed.occurrence = static_cast<uint32_t>(i + 1);
            faults.push_back(placed);
            recording.notes.push_back(
                FormatText("%s (%zu of %zu): ", kind.name.c_str(), i + 1, kind.answers.size()) +
                FaultWords(*fault) + "; recorded as a fault");
        }
    }
    if (faults.empty()) {
        return;
    }
    const bool allAlike = faults.size() == kind.answers.size() &&
                          std::all_of(faults.begin(), faults.end(), [&](const Fault& fault) {
                              return fault.kind == faults[0].kind &&
                                     fault.sense == faults[0].sense &&
                                     fault.residual == faults[0].residual;
                          });
    if (allAlike) {
        faults.resize(1);
        faults[0].occurrence = 0;
    }
    std::reverse(faults.begin(), faults.end());
    recording.drive.faults.insert(recording.drive.faults.end(), faults.begin(), faults.end());
}

bool Printable(std::span<const char> text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

class Recorder {
public:
    Recorder(ScsiDevice device, Clock& clock, const MakerCommandsAllowed& allowed)
        : device(device), clock(clock), allowed(allowed) {}

    DriveRecording Run() {
        const DeviceEntry& entry = device.Transport().Device(device.Row());
        const std::span<const char> identification(entry.identification.data(),
                                                   kIdentificationLength);
        const std::span<const char> revision(entry.revision.data(), kRevisionLength);
        if (!Printable(identification) || !Printable(revision)) {
            recording.unrecordable =
                "its identification or revision holds bytes a scenario file cannot carry";
            return recording;
        }
        VirtualDriveSetup& setup = recording.drive.setup;
        setup.identification.assign(identification.begin(), identification.end());
        setup.revision.assign(revision.begin(), revision.end());
        setup.oemTag = std::string(kOemTagWidth, ' ');  // the file's default, until read
        // The scan's INQUIRY was answered, or the drive would have no row.
        inquiry.answers.push_back(std::nullopt);

        ReadStandardData();
        ReadSerial();
        ReadTray();
        ReadBuffer();
        if (allowed(ReadSoFar())) {
            recording.drive.recordAt24 = ReadRecord(kModelRecordSecondary);
            recording.drive.recordAt02 = ReadRecord(kModelRecordPrimary);
        } else {
            recording.makerCommandsWithheld = true;
            recording.notes.push_back(
                "model records not read: this build sends this drive none of the maker's "
                "commands; recorded from standard commands alone");
        }
        for (const Kind* kind : {&inquiry, &serialPage, &testUnitReady, &modeSense, &recordRead}) {
            AddFaults(*kind, recording);
        }
        return recording;
    }

private:
    // The standard data whole: bytes 0-7 and the OEM tag.
    void ReadStandardData() {
        std::array<uint8_t, kLongInquiryLength> reply{};
        const auto cdb = InquiryCdb(kLongInquiryLength);
        const CommandResult result = device.Execute(cdb, DataDirection::In, reply.data(),
                                                    kLongInquiryLength, kLongCommandTimeout);
        inquiry.answers.push_back(FaultOf(result, false));
        if (!result.Ok()) {
            return;
        }
        // Bytes the drive did not send stay zero, as the program reads them.
        recording.drive.setup.oemTag.assign(reply.begin() + kOemTagOffset,
                                            reply.begin() + kOemTagOffset + kOemTagWidth);
        if (result.outcome.residual <= kLongInquiryLength - kInquiryHeaderLength) {
            std::copy_n(reply.begin(), kInquiryHeaderLength, recording.drive.inquiryHeader.begin());
        }
    }

    // The unit serial number page. A drive without one refuses it (05/24/00), which a virtual
    // drive without a serial number does too: that is no fault.
    void ReadSerial() {
        std::array<uint8_t, kSerialNumberAllocation> reply{};
        const auto cdb = InquiryVpdCdb(kVpdUnitSerialNumber, kSerialNumberAllocation);
        const CommandResult result = device.Execute(cdb, DataDirection::In, reply.data(),
                                                    kSerialNumberAllocation, kLongCommandTimeout);
        const auto sense = result.outcome.sense;
        const bool refused = result.CheckCondition() && sense && (sense->key & 0x0F) == 0x05 &&
                             sense->asc == 0x24 && sense->ascq == 0;
        serialPage.answers.push_back(refused ? std::nullopt : FaultOf(result, false));
        if (!result.Ok()) {
            return;
        }
        const size_t moved = reply.size() - std::min<size_t>(result.outcome.residual, reply.size());
        const auto serial = UnitSerialNumberFromVpd(std::span(reply).first(moved));
        if (serial && !serial->empty() && serial->size() <= kMaxSerialLength) {
            recording.drive.serial = *serial;
        } else {
            recording.notes.push_back(
                "INQUIRY serial number page: answered without a serial number a scenario can "
                "carry; recorded without one");
        }
    }

    // The conditions the drive reports while it settles, then the tray's steady answer.
    void ReadTray() {
        const auto cdb = TestUnitReadyCdb();
        for (uint32_t poll = 0;; ++poll) {
            const CommandResult result =
                device.Execute(cdb, DataDirection::None, nullptr, 0, kShortCommandTimeout);
            if (result.Ok()) {
                recording.drive.setup.discPresent = true;
                testUnitReady.answers.push_back(std::nullopt);
                return;
            }
            if (result.CheckCondition() && result.outcome.sense) {
                const SenseInfo sense = *result.outcome.sense;
                if ((sense.key & 0x0F) == kSenseKeyNotReady && sense.asc == kAscMediumNotPresent) {
                    testUnitReady.answers.push_back(std::nullopt);
                    return;
                }
                if (IsBecomingReady(sense.asc) && poll < kReadinessMaxPolls) {
                    recording.drive.readiness.push_back(sense);
                    testUnitReady.answers.push_back(std::nullopt);
                    clock.SleepMs(kReadinessPollMs);
                    continue;
                }
            }
            testUnitReady.answers.push_back(FaultOf(result, false));
            return;
        }
    }

    void ReadBuffer() {
        std::array<uint8_t, kCapabilitiesAllocation> reply{};
        const auto cdb = ModeSenseCapabilitiesCdb();
        const CommandResult result = device.Execute(cdb, DataDirection::In, reply.data(),
                                                    kCapabilitiesAllocation, kLongCommandTimeout);
        modeSense.answers.push_back(FaultOf(result, false));
        if (result.Ok()) {
            recording.drive.largeBuffer = BufferSizeKb(reply).value_or(0) == kLargeBufferKb;
            recording.drive.reader = !CapabilitiesClaimWriting(reply).value_or(true);
        }
    }

    // The drive as read so far, its faults included, for the caller to judge.
    DriveDescription ReadSoFar() const {
        DriveRecording sofar;
        sofar.drive = recording.drive;
        for (const Kind* kind : {&inquiry, &serialPage, &testUnitReady, &modeSense}) {
            AddFaults(*kind, sofar);
        }
        return sofar.drive;
    }

    std::optional<ModelRecord> ReadRecord(uint8_t location) {
        ModelRecord record{};
        const auto cdb = ModelRecordReadCdb(location);
        const CommandResult result = device.Execute(cdb, DataDirection::In, record.data(),
                                                    kModelRecordLength, kLongCommandTimeout);
        recordRead.answers.push_back(FaultOf(result, true));
        // Only a whole record is the drive's: a part of one is not completed by guessing.
        return result.MovedAll() ? std::optional<ModelRecord>(record) : std::nullopt;
    }

    ScsiDevice device;
    Clock& clock;
    const MakerCommandsAllowed& allowed;
    DriveRecording recording;
    // Standard data only (CDB byte 1 zero): a fault of it must not count the page requests.
    Kind inquiry{kOpInquiry, 0x00, "INQUIRY", {}};
    Kind serialPage{kOpInquiry, kInquiryEvpd, "INQUIRY serial number page", {}};
    Kind testUnitReady{kOpTestUnitReady, std::nullopt, "TEST UNIT READY", {}};
    Kind modeSense{kOpModeSense10, std::nullopt, "MODE SENSE(10)", {}};
    Kind recordRead{kOpModelRecord, kSubModelRecordRead, "model record read", {}};
};

}  // namespace

DriveRecording RecordDrive(ScsiDevice device, Clock& clock, const MakerCommandsAllowed& allowed) {
    return Recorder(device, clock, allowed).Run();
}

}  // namespace flashtool
