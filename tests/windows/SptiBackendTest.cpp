// The SPTI back-end, through the transport and a fake of the Win32 calls.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Bytes.h"
#include "core/Format.h"
#include "transport/windows/SptiRequest.h"
#include "windows/WindowsRig.h"

namespace flashtool {
namespace {

using ::testing::ElementsAre;
using testing::FakeVolume;
using ::testing::IsEmpty;
using testing::SptiAnswer;
using testing::SptiRig;

const char kDriveD[] = "KESTREL DVD-RW KR-2280  1.07";
const char kDriveZ[] = "PALLAS  CD-RW PX-52     3.10";

std::string VolumeOpen(char letter) {
    return FormatText("CreateFileA \\\\.\\%c: C0000000 3 3", letter);
}

// A rig with one CD/DVD drive at "d" already scanned.
struct SptiFixture : ::testing::Test {
    SptiRig rig;
    std::array<uint8_t, 64> buffer{};

    void SetUp() override {
        rig.api->volumes['d'] = FakeVolume{5, kDriveD};
        ASSERT_TRUE(rig.Load());
        ASSERT_EQ(rig.transport->ScanDevices(), 1);
        rig.api->ioctls.clear();
    }
    ExecResult Send(std::span<const uint8_t> cdb, DataDirection direction, uint32_t length = 64) {
        return rig.transport->Execute(cdb, direction, buffer.data(), length, kLongCommandTimeout)
            .result;
    }
};

TEST(SptiScanTest, ProbesLettersCToZAndKeepsOnlyCdDrivesThatAnswer) {
    SptiRig rig;
    rig.api->volumes['a'] = FakeVolume{5, kDriveD};  // never probed
    rig.api->volumes['b'] = FakeVolume{5, kDriveD};  // never probed
    rig.api->volumes['c'] = FakeVolume{3, ""};       // a fixed disk
    rig.api->volumes['d'] = FakeVolume{5, kDriveD};
    rig.api->volumes['e'] = FakeVolume{5, ""};  // INQUIRY fails
    rig.api->volumes['z'] = FakeVolume{5, kDriveZ};
    ASSERT_TRUE(rig.Load());

    EXPECT_EQ(rig.transport->ScanDevices(), 2);
    EXPECT_EQ(rig.Describe(0), kDriveD);
    EXPECT_EQ(rig.Describe(1), kDriveZ);

    std::vector<std::string> opens;
    for (char letter = 'c'; letter <= 'z'; ++letter) {
        opens.push_back(VolumeOpen(letter));
    }
    EXPECT_EQ(rig.CallsTo("CreateFileA"), opens);
    EXPECT_THAT(rig.CallsTo("GetDriveTypeA"), ElementsAre("GetDriveTypeA c:", "GetDriveTypeA d:",
                                                          "GetDriveTypeA e:", "GetDriveTypeA z:"));
    // Handles in order of opening: c 100, d 101, e 102, z 103. The fixed disk and the drive
    // that did not answer are closed during the scan; the two drives stay open.
    EXPECT_THAT(rig.CallsTo("CloseHandle"), ElementsAre("CloseHandle 100", "CloseHandle 102"));
    EXPECT_THAT(rig.api->openHandles, ElementsAre(0x101, 0x103));
    EXPECT_EQ(rig.transport->Device(0).handle, 0x101);
    EXPECT_EQ(rig.transport->Device(1).handle, 0x103);

    ASSERT_EQ(rig.api->ioctls.size(), 3u);
    const auto& inquiry = rig.api->ioctls[0].request;
    EXPECT_EQ(inquiry[kSptiDataInOffset], kSptiDataIn);
    EXPECT_EQ(LittleEndian32At(inquiry, kSptiDataTransferLengthOffset), 56u);
    EXPECT_EQ(LittleEndian32At(inquiry, kSptiTimeOutValueOffset), 15u);
    EXPECT_THAT(std::vector<uint8_t>(inquiry.begin() + kNativeSptiLayout.cdbOffset,
                                     inquiry.begin() + kNativeSptiLayout.cdbOffset + 6),
                ElementsAre(0x12, 0, 0, 0, 56, 0));

    rig.transport->Release();
    EXPECT_THAT(rig.api->openHandles, IsEmpty());
}

// A tower's drives each have a letter: every one is a row, none is left out.
TEST(SptiScanTest, EveryOpticalDriveLetterIsARow) {
    SptiRig rig;
    for (char letter = 'c'; letter <= 'z'; ++letter) {
        rig.api->volumes[letter] = FakeVolume{5, kDriveD};
    }
    ASSERT_TRUE(rig.Load());
    EXPECT_EQ(rig.transport->ScanDevices(), 24);
    EXPECT_EQ(rig.CallsTo("CreateFileA").back(), VolumeOpen('z'));
    EXPECT_EQ(rig.api->openHandles.size(), 24u);
    rig.transport.reset();
    EXPECT_THAT(rig.api->openHandles, IsEmpty()) << "destruction closes every handle";
}

TEST_F(SptiFixture, RequestCarriesTheCommandForEachDirection) {
    const std::array<uint8_t, 12> cdb = {0xFD, 0xA1, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0};
    struct Case {
        DataDirection direction;
        uint8_t dataIn;
        uint32_t length;
    };
    const Case cases[] = {
        {DataDirection::In, 1, 64}, {DataDirection::Out, 0, 48}, {DataDirection::None, 2, 0}};
    const SptiLayout& layout = kNativeSptiLayout;
    for (const Case& c : cases) {
        rig.api->ioctls.clear();
        ASSERT_EQ(Send(cdb, c.direction, c.length), ExecResult::Ok);
        ASSERT_EQ(rig.api->ioctls.size(), 1u);
        const auto& call = rig.api->ioctls[0];
        EXPECT_EQ(call.handle, 0x100);
        EXPECT_EQ(call.code, 0x4D014u);
        EXPECT_EQ(call.inSize, layout.headerLength);
        EXPECT_EQ(call.outSize, layout.requestSize);
        const auto& bytes = call.request;
        EXPECT_EQ(LittleEndian16At(bytes, 0), layout.headerLength);
        EXPECT_EQ(bytes[kSptiDataInOffset], c.dataIn);
        EXPECT_EQ(bytes[kSptiCdbLengthOffset], 12);
        EXPECT_EQ(bytes[kSptiSenseInfoLengthOffset], 32);
        EXPECT_EQ(LittleEndian32At(bytes, kSptiDataTransferLengthOffset), c.length);
        EXPECT_EQ(LittleEndian32At(bytes, kSptiTimeOutValueOffset), 200u);
        EXPECT_EQ(LittleEndian32At(bytes, layout.senseInfoOffsetField), layout.senseOffset);
        // Data goes through the back-end's own buffer, never the caller's.
        EXPECT_EQ(call.dataAddress == 0, c.direction == DataDirection::None);
        EXPECT_NE(call.dataAddress, reinterpret_cast<uintptr_t>(buffer.data()));
        EXPECT_THAT(std::vector<uint8_t>(bytes.begin() + layout.cdbOffset,
                                         bytes.begin() + layout.cdbOffset + 16),
                    ElementsAre(0xFD, 0xA1, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0));
    }
}

TEST(SptiBufferTest, DataGoesThroughABufferAlignedAsTheAdapterAsks) {
    struct Case {
        std::optional<uint32_t> reported;  // nothing: the capabilities ioctl fails
        uint32_t mask;                     // what the buffer's address must meet
    };
    const Case cases[] = {{0x0, 0x0},     {0x1, 0x1},      {0x3, 0x3},
                          {0x1FF, 0x1FF}, {0xFFF, 0xFFF},  {std::nullopt, 0xFFF},
                          {0x5, 0xFFF},   {0x1FFFF, 0xFFF}};
    for (const Case& c : cases) {
        const std::string what = c.reported ? FormatText("mask %X", *c.reported) : "no answer";
        SptiRig rig;
        rig.api->volumes['d'] = FakeVolume{5, kDriveD, c.reported};
        ASSERT_TRUE(rig.Load());
        ASSERT_EQ(rig.transport->ScanDevices(), 1) << what;
        EXPECT_THAT(rig.api->capabilityQueries, ElementsAre(0x100)) << what;
        EXPECT_EQ(rig.api->ioctls[0].dataAddress & c.mask, 0u) << what << ": discovery";

        // A caller's buffer at an odd address, both ways.
        alignas(8) std::array<uint8_t, 41> storage{};
        const std::span<uint8_t> caller(storage.data() + 1, 40);
        std::fill(caller.begin(), caller.end(), 0x3E);
        const std::array<uint8_t, 10> writeBuffer = {0x3B, 0x02};
        ASSERT_EQ(rig.transport->Execute(writeBuffer, DataDirection::Out, caller.data(), 40,
                                         kLongCommandTimeout),
                  ExecResult::Ok);
        const auto& out = rig.api->ioctls.back();
        EXPECT_EQ(out.dataAddress & c.mask, 0u) << what << ": data out";
        EXPECT_EQ(out.dataOut, std::vector<uint8_t>(40, 0x3E)) << what;

        SptiAnswer answer;
        answer.dataIn.assign(40, 0x5C);
        rig.api->sptiAnswers = {answer};
        const std::array<uint8_t, 10> readBuffer = {0x3C, 0x02};
        ASSERT_EQ(rig.transport->Execute(readBuffer, DataDirection::In, caller.data(), 40,
                                         kLongCommandTimeout),
                  ExecResult::Ok);
        EXPECT_EQ(rig.api->ioctls.back().dataAddress & c.mask, 0u) << what << ": data in";
        EXPECT_EQ(std::count(caller.begin(), caller.end(), 0x5C), 40) << what;
    }
}

TEST_F(SptiFixture, OnlyTheBytesTheDriverMovedReachTheCaller) {
    // The driver filled more of its buffer than it says came in: the rest is not the drive's.
    buffer.fill(0xAA);
    SptiAnswer answer;
    answer.dataIn.assign(64, 0x5C);
    answer.transferred = 20;
    rig.api->sptiAnswers = {answer};
    const std::array<uint8_t, 10> readBuffer = {0x3C, 0x02};
    ScsiRequest request;
    request.cdb = readBuffer;
    request.direction = DataDirection::In;
    request.data = buffer.data();
    request.length = 64;
    const PassThroughOutcome outcome = rig.backend->Send(DeviceAddress{0x100, 0, 0}, request);
    EXPECT_EQ(outcome.residual, 44u);
    EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + 20, 0x5C), 20);
    EXPECT_EQ(std::count(buffer.begin() + 20, buffer.end(), 0xAA), 44);
}

TEST_F(SptiFixture, OutcomesMapToResultsAndSense) {
    const std::vector<uint8_t> mediumError = {0x70, 0, 0x03, 0, 0, 0,    0,
                                              10,   0, 0,    0, 0, 0x11, 0x05};
    struct Case {
        const char* what;
        SptiAnswer answer;
        ExecResult result;
        uint8_t senseKey;
        uint8_t asc;
    };
    const Case cases[] = {
        {"GOOD", SptiAnswer::Completed(0x00), ExecResult::Ok, 0, 0},
        {"CONDITION MET", SptiAnswer::Completed(0x04), ExecResult::Ok, 0, 0},
        {"CHECK CONDITION", SptiAnswer::Completed(0x02, mediumError), ExecResult::Failed, 0x03,
         0x11},
        {"BUSY", SptiAnswer::Completed(0x08), ExecResult::Failed, 0, 0},
        {"RESERVATION CONFLICT", SptiAnswer::Completed(0x18), ExecResult::Failed, 0, 0},
        {"semaphore time-out", SptiAnswer::Failure(121), ExecResult::TimedOut, 0, 0},
        {"buffer too small", SptiAnswer::Failure(122), ExecResult::Failed, 0, 0},
    };
    const std::array<uint8_t, 6> testUnitReady{};
    for (const Case& c : cases) {
        rig.api->sptiAnswers = {c.answer};
        EXPECT_EQ(Send(testUnitReady, DataDirection::None), c.result) << c.what;
        EXPECT_EQ(rig.transport->LastSenseKey(), c.senseKey) << c.what;
        EXPECT_EQ(rig.transport->LastAsc(), c.asc) << c.what;
    }
}

TEST_F(SptiFixture, BackEndReportsTheScsiStatusItGot) {
    // Success is decided by the transport (BUSY and the like fail there); the back-end
    // passes every status on unchanged.
    const std::array<uint8_t, 6> testUnitReady{};
    for (const uint8_t status : {0x00, 0x04, 0x08, 0x10, 0x18, 0x28}) {
        rig.api->sptiAnswers = {SptiAnswer::Completed(status)};
        ScsiRequest request;
        request.cdb = testUnitReady;
        const PassThroughOutcome outcome = rig.backend->Send(DeviceAddress{0x100, 0, 0}, request);
        EXPECT_EQ(outcome.kind, OutcomeKind::Completed);
        EXPECT_EQ(outcome.scsiStatus, status);
        EXPECT_FALSE(outcome.sense.has_value());
    }
}

TEST_F(SptiFixture, ShortReplyLeavesTheRestOfTheBufferZero) {
    buffer.fill(0xAA);
    SptiAnswer answer;
    answer.dataIn.assign(20, 0x5C);
    answer.transferred = 20;
    rig.api->sptiAnswers = {answer};
    const std::array<uint8_t, 10> readBuffer = {0x3C, 0x02};
    ASSERT_EQ(Send(readBuffer, DataDirection::In), ExecResult::Ok);
    EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + 20, 0x5C), 20);
    EXPECT_EQ(std::count(buffer.begin() + 20, buffer.end(), 0), 44);
}

// A drive letter may name another drive after a restart; the device instance path names
// the drive at its port. It is found by the device number the volume and a CD-ROM interface
// share, asked of the system only when wanted, and once per volume.
TEST(SptiPlaceTest, AVolumesPlaceIsItsDrivesDeviceInstancePath) {
    const std::string kestrel = "SCSI\\CDROM&VEN_KESTREL&PROD_DVD-RW_KR-2280\\4&1C2D&0&000100";
    const std::string pallas = "IDE\\CDROMPALLAS_CD-RW_PX-52\\5&3A8F&0&1.0.0";
    SptiRig rig;
    rig.api->volumes['d'] = FakeVolume{5, kDriveD, 0x3, 1};
    rig.api->volumes['e'] = FakeVolume{5, kDriveD, 0x3, std::nullopt};
    rig.api->volumes['z'] = FakeVolume{5, kDriveZ, 0x3, 0};
    rig.api->cdromInterfaces = {{"\\\\?\\ide#cdrompallas", pallas, 0},
                                {"\\\\?\\scsi#cdrom&ven_kestrel", kestrel, 1}};
    ASSERT_TRUE(rig.Load());
    ASSERT_EQ(rig.transport->ScanDevices(), 3);
    EXPECT_THAT(rig.CallsTo("GetCdromInterfaces"), IsEmpty()) << "nothing asked during the scan";

    EXPECT_EQ(rig.transport->PlaceOf(0), kestrel);
    EXPECT_EQ(rig.transport->PlaceOf(1), "") << "a volume whose device number is unknown";
    EXPECT_EQ(rig.transport->PlaceOf(2), pallas);
    EXPECT_EQ(rig.transport->PlaceOf(0), kestrel);
    EXPECT_EQ(rig.CallsTo("GetCdromInterfaces").size(), 2u);
    EXPECT_EQ(rig.api->openLists, 0);
    // The interfaces opened to ask their numbers are closed again; the volumes stay open.
    EXPECT_EQ(rig.api->openHandles.size(), 3u);
    rig.api->interfaceListFails = true;
    rig.transport->ScanDevices();
    EXPECT_EQ(rig.transport->PlaceOf(0), "");
}

}  // namespace
}  // namespace flashtool
