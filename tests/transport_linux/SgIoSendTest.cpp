// Request building and outcome mapping of the SG_IO back-end, against a fake ioctl.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/ScriptedBackend.h"
#include "transport/linux/SgIoBackend.h"
#include "transport_linux/LinuxFakes.h"

namespace flashtool {
namespace {

using ::testing::ElementsAreArray;
using testing::FakeLinuxSystem;
using testing::FakeSysfs;
using ::testing::HasSubstr;
using testing::RecordingNotifier;

constexpr int kFd = 7;

// One optical drive on /dev/sg1, opened by a scan.
struct SendFixture : ::testing::Test {
    FakeSysfs sysfs;
    FakeLinuxSystem* system = nullptr;
    std::unique_ptr<SgIoBackend> backend;
    RecordingNotifier notifier;
    DeviceAddress drive;

    void SetUp() override {
        sysfs.AddDevice("1:0:0:0", "5", "sg1", "sr0");
        auto owned = std::make_unique<FakeLinuxSystem>();
        system = owned.get();
        system->openResults["/dev/sg1"] = kFd;
        backend = std::make_unique<SgIoBackend>(std::move(owned), sysfs.root, "/dev");
        backend->Start(notifier);
        backend->BeginDiscovery();
        drive = backend->NextCandidate().value();
        ASSERT_FALSE(backend->NextCandidate());
        backend->EndDiscovery(notifier);
        ASSERT_TRUE(notifier.messages.empty());
    }

    PassThroughOutcome Send(std::vector<uint8_t> cdb, DataDirection direction, uint8_t* data,
                            uint32_t length, uint32_t timeoutSeconds = kShortCommandTimeout) {
        ScsiRequest request;
        request.cdb = cdb;
        request.direction = direction;
        request.data = data;
        request.length = length;
        request.timeoutSeconds = timeoutSeconds;
        return backend->Send(drive, request);
    }
};

TEST_F(SendFixture, AClosedDrivesHandleNeverReachesTheNextDriveOpened) {
    // The system gives the next open the same descriptor; the old address must not follow it.
    const DeviceAddress closed = drive;
    backend->CloseDevice(drive);
    backend->BeginDiscovery();
    drive = backend->NextCandidate().value();
    backend->EndDiscovery(notifier);
    EXPECT_NE(drive.handle, closed.handle);

    ScsiRequest request;
    const uint8_t cdb[6] = {};
    request.cdb = cdb;
    EXPECT_EQ(backend->Send(closed, request).kind, OutcomeKind::OsError);
    EXPECT_TRUE(system->seen.empty());
    EXPECT_EQ(backend->Send(drive, request).kind, OutcomeKind::Completed);
    EXPECT_EQ(system->seen.back().fd, kFd);
}

TEST_F(SendFixture, BuildsOneZeroedHeaderPerCommand) {
    struct Case {
        std::vector<uint8_t> cdb;
        DataDirection direction;
        uint32_t length;
        uint32_t timeoutSeconds;
        int sgDirection;
        unsigned timeoutMs;
    };
    // clang-format off
    const Case cases[] = {
        {{0x00, 0, 0, 0, 0, 0},                DataDirection::None, 0,     15,  SG_DXFER_NONE,     15000},
        {{0x12, 0, 0, 0, 56, 0},               DataDirection::In,   56,    15,  SG_DXFER_FROM_DEV, 15000},
        {{0x3B, 2, 0, 0, 0, 0, 0x40, 0, 0, 0}, DataDirection::Out,  16384, 200, SG_DXFER_TO_DEV,   200000},
        {{0xFD, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                                               DataDirection::In,   8,     15,  SG_DXFER_FROM_DEV, 15000},
        {{0x88, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
                                               DataDirection::In,   512,   1,   SG_DXFER_FROM_DEV, 1000},
        // A zero time-out would hand the choice to the driver; it becomes the short one.
        {{0x00, 0, 0, 0, 0, 0},                DataDirection::None, 0,     0,   SG_DXFER_NONE,     15000},
        // Huge time-outs are capped, never wrapped round to something short.
        {{0x00, 0, 0, 0, 0, 0},                DataDirection::None, 0,     0xFFFFFFFF,
                                                                                SG_DXFER_NONE,     0xFFFFFFFF},
    };
    // clang-format on
    std::vector<uint8_t> buffer(16384);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "opcode " << int(c.cdb[0]));
        uint8_t* data = c.direction == DataDirection::None ? nullptr : buffer.data();
        Send(c.cdb, c.direction, data, c.length, c.timeoutSeconds);
        const testing::SeenRequest& seen = system->seen.back();
        const sg_io_hdr_t& h = seen.header;
        EXPECT_EQ(seen.fd, kFd);
        EXPECT_EQ(h.interface_id, 'S');
        EXPECT_EQ(h.cmd_len, c.cdb.size());
        EXPECT_THAT(seen.cdb, ElementsAreArray(c.cdb));
        EXPECT_EQ(h.dxfer_direction, c.sgDirection);
        EXPECT_EQ(h.dxferp, data);
        EXPECT_EQ(h.dxfer_len, c.length);
        EXPECT_EQ(h.timeout, c.timeoutMs);
        EXPECT_NE(h.sbp, nullptr);
        EXPECT_GE(h.mx_sb_len, 32);
        EXPECT_EQ(h.iovec_count, 0);
        EXPECT_EQ(h.flags, 0u);
        EXPECT_EQ(h.pack_id, 0);
        EXPECT_EQ(h.usr_ptr, nullptr);
    }
    EXPECT_EQ(system->seen.size(), std::size(cases));
}

TEST_F(SendFixture, MapsTheCompletionToAnOutcome) {
    // clang-format off
    const std::vector<uint8_t> fixedNotReady = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01};
    const std::vector<uint8_t> deferredFixed = {0xF1, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x0C, 0x00};
    const std::vector<uint8_t> descriptorIllegal = {0x72, 0x05, 0x24, 0x00, 0, 0, 0, 0};
    // clang-format on
    struct Case {
        const char* name;
        uint8_t status;
        uint16_t host;
        uint16_t driver;
        std::vector<uint8_t> sense;
        int resid;
        OutcomeKind kind;
        std::optional<SenseInfo> expectedSense;
        uint32_t residual;
        ExecResult result;
    };
    constexpr auto Done = OutcomeKind::Completed;
    constexpr auto Late = OutcomeKind::TimedOut;
    constexpr auto Broken = OutcomeKind::TransportError;
    constexpr auto None = std::nullopt;
    // clang-format off
    const Case cases[] = {
        // A command that ended without a status moved nothing usable, whatever resid says.
        // name                            status host  driver sense             resid kind    sense                        residual result
        {"good",                           0x00,  0,    0,     {},               0,    Done,   None,                        0,  ExecResult::Ok},
        {"fixed sense",                    0x02,  0,    0x08,  fixedNotReady,    0,    Done,   SenseInfo{0x02, 0x3A, 0x01}, 0,  ExecResult::Failed},
        {"deferred fixed sense",           0x02,  0,    0x08,  deferredFixed,    0,    Done,   SenseInfo{0x03, 0x0C, 0x00}, 0,  ExecResult::Failed},
        {"descriptor sense",               0x02,  0,    0x08,  descriptorIllegal,0,    Done,   SenseInfo{0x05, 0x24, 0x00}, 0,  ExecResult::Failed},
        {"check condition without sense",  0x02,  0,    0,     {},               0,    Done,   SenseInfo{},                 0,  ExecResult::Failed},
        {"busy",                           0x08,  0,    0,     {},               0,    Done,   None,                        0,  ExecResult::Failed},
        {"host time-out",                  0x00,  0x03, 0,     {},               0,    Late,   None,                        56,  ExecResult::TimedOut},
        {"old driver time-out",            0x00,  0,    0x06,  {},               0,    Late,   None,                        56,  ExecResult::TimedOut},
        {"no connect",                     0x00,  0x01, 0,     {},               0,    Broken, None,                        56,  ExecResult::Failed},
        {"host error with sense",          0x02,  0x07, 0x08,  fixedNotReady,    0,    Broken, None,                        56,  ExecResult::Failed},
        {"driver error",                   0x00,  0,    0x04,  {},               0,    Broken, None,                        56,  ExecResult::Failed},
        // Only the low nibble is the driver byte; retry suggestions above it are no error.
        {"sense with a suggestion",        0x00,  0,    0x18,  {},               0,    Done,   None,                        0,  ExecResult::Ok},
        {"short transfer",                 0x00,  0,    0,     {},               20,   Done,   None,                        20, ExecResult::Ok},
        {"residual beyond the length",     0x00,  0,    0,     {},               500,  Done,   None,                        56, ExecResult::Ok},
        {"negative residual",              0x00,  0,    0,     {},               -4,   Done,   None,                        0,  ExecResult::Ok},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        system->ioctl = [&c](int, sg_io_hdr_t& h) {
            std::copy(c.sense.begin(), c.sense.end(), h.sbp);
            h.sb_len_wr = static_cast<unsigned char>(c.sense.size());
            h.status = c.status;
            h.host_status = c.host;
            h.driver_status = c.driver;
            h.resid = c.resid;
            return 0;
        };
        std::array<uint8_t, 56> buffer{};
        const PassThroughOutcome outcome =
            Send({0x12, 0, 0, 0, 56, 0}, DataDirection::In, buffer.data(), 56);
        EXPECT_EQ(outcome.kind, c.kind);
        if (c.kind == OutcomeKind::Completed) {
            EXPECT_EQ(outcome.scsiStatus, c.status);
        }
        EXPECT_EQ(outcome.sense, c.expectedSense);
        EXPECT_EQ(outcome.residual, c.residual);
        EXPECT_EQ(ClassifyOutcome(outcome), c.result);
    }
}

TEST_F(SendFixture, ACommandThatEndedWithoutAStatusAfterItsTimeOutTimedOut) {
    // Behind virtio-scsi the guest's kernel never ends a command at its time-out; the host
    // gives up on it later and it comes back aborted (DID_ABORT), resid 0, no data.
    constexpr uint16_t kAborted = 0x05;
    constexpr uint16_t kBadTarget = 0x04;
    struct Case {
        const char* name;
        uint8_t status;
        uint16_t host;
        uint32_t durationMs;
        ExecResult result;
        uint32_t residual;
    };
    const Case cases[] = {
        {"aborted after its 15 s", 0x00, kAborted, 17000, ExecResult::TimedOut, 56},
        {"aborted on the last millisecond", 0x00, kAborted, 15000, ExecResult::TimedOut, 56},
        {"aborted early", 0x00, kAborted, 14999, ExecResult::Failed, 56},
        {"gone after its time", 0x00, kBadTarget, 20000, ExecResult::TimedOut, 56},
        // A drive that answers late has still answered.
        {"good but late", 0x00, 0, 17000, ExecResult::Ok, 0},
        {"check condition late", 0x02, 0, 17000, ExecResult::Failed, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        system->ioctl = [&c](int, sg_io_hdr_t& h) {
            h.status = c.status;
            h.host_status = c.host;
            h.duration = c.durationMs;
            h.resid = 0;
            return 0;
        };
        std::array<uint8_t, 56> buffer{};
        const PassThroughOutcome outcome =
            Send({0x12, 0, 0, 0, 56, 0}, DataDirection::In, buffer.data(), 56, 15);
        EXPECT_EQ(ClassifyOutcome(outcome), c.result);
        EXPECT_EQ(outcome.residual, c.residual);
    }
}

TEST_F(SendFixture, SenseLengthWrittenBoundsWhatIsParsed) {
    // The driver wrote only 3 bytes: the ASC at byte 12 is stale buffer content and must
    // not be believed.
    system->ioctl = [](int, sg_io_hdr_t& h) {
        const uint8_t sense[14] = {0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29, 0x00};
        std::memcpy(h.sbp, sense, sizeof sense);
        h.sb_len_wr = 3;
        h.status = 0x02;
        return 0;
    };
    const PassThroughOutcome outcome = Send({0x00, 0, 0, 0, 0, 0}, DataDirection::None, nullptr, 0);
    EXPECT_EQ(outcome.sense, (SenseInfo{0x06, 0x00, 0x00}));
}

TEST_F(SendFixture, AnIoctlErrorIsAnOsError) {
    for (const int error : {EIO, ENODEV, EINVAL}) {
        system->ioctl = [error](int, sg_io_hdr_t&) { return error; };
        const PassThroughOutcome outcome =
            Send({0x00, 0, 0, 0, 0, 0}, DataDirection::None, nullptr, 0);
        EXPECT_EQ(outcome.kind, OutcomeKind::OsError);
        EXPECT_EQ(outcome.osError, error);
        EXPECT_EQ(ClassifyOutcome(outcome), ExecResult::Failed);
    }
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(SendFixture, ARefusedCommandIsFailedAndItsNoticeComesBackOncePerDrive) {
    std::vector<std::string> notices;
    for (const int error : {EPERM, EACCES}) {
        system->ioctl = [error](int, sg_io_hdr_t&) { return error; };
        const PassThroughOutcome outcome =
            Send({0xFD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DataDirection::None, nullptr, 0);
        EXPECT_EQ(outcome.kind, OutcomeKind::OsError);
        EXPECT_EQ(outcome.osError, error);
        EXPECT_EQ(ClassifyOutcome(outcome), ExecResult::Failed);
        if (outcome.notice) {
            notices.push_back(*outcome.notice);
        }
    }
    // The back-end shows nothing itself: a worker must never block on a box.
    EXPECT_TRUE(notifier.messages.empty());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0],
              "This optical drive cannot be used to update firmware:\n\n"
              "KESTREL DVD-ROM KD-1650 0113 (/dev/sg1): the system refused to pass a command to "
              "the drive (Operation not permitted). Run this program with the CAP_SYS_RAWIO "
              "capability (for example as root).");
}

// The sg driver's rule for one node: an O_EXCL open is refused while the node is open at all,
// this program's own descriptors included, and every open while an exclusive one is. Each
// open gets a new descriptor, as when other threads took the numbers closed meanwhile.
struct SgNodeRule {
    explicit SgNodeRule(FakeLinuxSystem& systemIn) : system(systemIn) {}

    FakeLinuxSystem& system;
    bool otherProgram = false;           // another program has the node open, shared
    bool otherProgramExclusive = false;  // or exclusively
    std::map<int, bool> handedOut;       // descriptor: opened with O_EXCL
    int nextFd = 20;

    int Open(int flags) {
        bool open = otherProgram || otherProgramExclusive;
        bool exclusive = otherProgramExclusive;
        for (const auto& [fd, excl] : handedOut) {
            if (std::find(system.closed.begin(), system.closed.end(), fd) == system.closed.end()) {
                open = true;
                exclusive = exclusive || excl;
            }
        }
        if (exclusive || ((flags & O_EXCL) != 0 && open)) {
            return -EBUSY;
        }
        handedOut[nextFd] = (flags & O_EXCL) != 0;
        return nextFd++;
    }
};

TEST_F(SendFixture, ARunHoldsTheGenericNodeExclusivelyAndGivesItBack) {
    SgNodeRule node(*system);
    node.otherProgram = true;
    node.handedOut[kFd] = false;
    system->openHook = [&](const std::string&, int flags) { return node.Open(flags); };
    auto sentThrough = [&] {
        EXPECT_EQ(Send({0x00, 0, 0, 0, 0, 0}, DataDirection::None, nullptr, 0).kind,
                  OutcomeKind::Completed);
        return system->seen.back().fd;
    };
    const size_t opensBefore = system->opened.size();

    EXPECT_EQ(backend->ClaimExclusive(drive), ExclusiveClaim::Busy);
    EXPECT_EQ(sentThrough(), 20);
    node.otherProgram = false;
    EXPECT_EQ(backend->ClaimExclusive(drive), ExclusiveClaim::Claimed);
    EXPECT_EQ(sentThrough(), 21);
    EXPECT_EQ(backend->ClaimExclusive(drive), ExclusiveClaim::Claimed);  // held: no change
    EXPECT_EQ(sentThrough(), 21);
    backend->ReleaseExclusive(drive);
    EXPECT_EQ(sentThrough(), 22);
    backend->ReleaseExclusive(drive);  // not held: no change
    EXPECT_EQ(sentThrough(), 22);

    // Busy: exclusive refused, shared back; claimed; released to shared. Each descriptor is
    // closed once, and no new one is moved onto a number that was closed.
    const std::vector<int> flags(system->openFlags.begin() + opensBefore, system->openFlags.end());
    EXPECT_THAT(flags,
                ElementsAreArray({SgIoBackend::kOpenFlags | O_EXCL, SgIoBackend::kOpenFlags,
                                  SgIoBackend::kOpenFlags | O_EXCL, SgIoBackend::kOpenFlags}));
    EXPECT_THAT(system->closed, ElementsAreArray({kFd, 20, 21}));
    EXPECT_THAT(backend->NodeNames(drive), ElementsAreArray({"/dev/sg1", "/dev/sr0"}));
}

TEST_F(SendFixture, ANodeLostDuringAClaimIsForgotten) {
    // Another program took the node exclusively while ours was closed for the claim.
    SgNodeRule node(*system);
    node.otherProgramExclusive = true;
    system->openHook = [&](const std::string&, int flags) { return node.Open(flags); };
    EXPECT_EQ(backend->ClaimExclusive(drive), ExclusiveClaim::Busy);
    EXPECT_EQ(Send({0x00, 0, 0, 0, 0, 0}, DataDirection::None, nullptr, 0).kind,
              OutcomeKind::OsError);
    EXPECT_TRUE(system->seen.empty());
    EXPECT_TRUE(backend->NodeNames(drive).empty());
    backend->ReleaseExclusive(drive);
    backend->CloseDevice(drive);
    backend->Unload();
    EXPECT_THAT(system->closed, ElementsAreArray({kFd}));
}

TEST_F(SendFixture, AnUnknownHandleSendsNothing) {
    DeviceAddress stranger;
    stranger.handle = 99;
    ScsiRequest request;
    const uint8_t cdb[6] = {};
    request.cdb = cdb;
    EXPECT_EQ(backend->Send(stranger, request).kind, OutcomeKind::OsError);
    EXPECT_TRUE(system->seen.empty());
}

TEST_F(SendFixture, ClosingReleasesTheDescriptorOnce) {
    backend->CloseDevice(drive);
    EXPECT_EQ(Send({0x00, 0, 0, 0, 0, 0}, DataDirection::None, nullptr, 0).kind,
              OutcomeKind::OsError);
    backend->CloseDevice(drive);
    backend->Unload();
    EXPECT_THAT(system->closed, ElementsAreArray({kFd}));
    EXPECT_TRUE(system->seen.empty());
}

TEST_F(SendFixture, UnloadClosesWhatIsStillOpen) {
    backend->Unload();
    EXPECT_THAT(system->closed, ElementsAreArray({kFd}));
}

}  // namespace
}  // namespace flashtool
