// The virtual drive's base behaviour: identification, its vital product data, what it tells
// MMC clients about itself and its medium, readiness, faults and the trace.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "emulator/EmulatedBackend.h"

namespace flashtool {
namespace {

PassThroughOutcome SendTo(VirtualDrive& drive, std::vector<uint8_t> cdb, DataDirection direction,
                          std::vector<uint8_t>& buffer) {
    ScsiRequest request;
    request.cdb = cdb;
    request.direction = direction;
    request.data = buffer.empty() ? nullptr : buffer.data();
    request.length = static_cast<uint32_t>(buffer.size());
    return drive.Handle(request);
}

TEST(VirtualDriveTest, LongInquiryCarriesTheOemTag) {
    VirtualDrive drive({"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ", false});
    std::vector<uint8_t> buffer(125);
    const auto outcome = SendTo(drive, {0x12, 0, 0, 0, 125, 0}, DataDirection::In, buffer);
    EXPECT_EQ(ClassifyOutcome(outcome), ExecResult::Ok);
    EXPECT_EQ(buffer[0], 0x05);
    EXPECT_EQ(std::string(buffer.begin() + 8, buffer.begin() + 36), "ORIN    DVD RW QV-5500A 1.0d");
    EXPECT_EQ(std::string(buffer.begin() + 96, buffer.begin() + 111), "ORIN      QZ   ");
}

TEST(VirtualDriveTest, InquiryReturnsNoMoreThanTheAllocationLength) {
    VirtualDrive drive;
    std::vector<uint8_t> buffer(200, 0xEE);
    const auto outcome = SendTo(drive, {0x12, 0, 0, 0, 56, 0}, DataDirection::In, buffer);
    EXPECT_EQ(outcome.residual, 200u - 56u);
}

// What a drive answered: the bytes it moved, or the sense of its refusal.
struct Answered {
    std::vector<uint8_t> data;
    std::optional<SenseInfo> sense;
};

Answered AnswerOf(VirtualDrive& drive, const std::vector<uint8_t>& cdb, uint32_t length) {
    std::vector<uint8_t> buffer(length, 0xEE);
    const PassThroughOutcome outcome =
        SendTo(drive, cdb, length == 0 ? DataDirection::None : DataDirection::In, buffer);
    if (ClassifyOutcome(outcome) != ExecResult::Ok) {
        return {{}, outcome.sense};
    }
    buffer.resize(length - std::min(outcome.residual, length));
    return {buffer, std::nullopt};
}

std::vector<uint8_t> Bytes(std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Joined(std::vector<uint8_t> head, const std::vector<uint8_t>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct InquiryCase {
    std::string what;
    std::string serial;
    std::vector<uint8_t> cdb;
    std::vector<uint8_t> data;  // empty with a sense
    std::optional<SenseInfo> sense = std::nullopt;
};

TEST(VirtualDriveTest, InquiryAnswersTheVitalProductDataPagesItHasAndRefusesTheRest) {
    const std::string serial = "QV5A0D4G1203";
    const std::vector<uint8_t> serialPage = Joined({0x05, 0x80, 0x00, 0x0C}, Bytes(serial));
    const std::vector<InquiryCase> cases = {
        {"supported pages",
         serial,
         {0x12, 0x01, 0x00, 0x00, 0xFF, 0x00},
         {0x05, 0x00, 0x00, 0x02, 0x00, 0x80}},
        {"supported pages, no serial",
         "",
         {0x12, 0x01, 0x00, 0x00, 0xFF, 0x00},
         {0x05, 0x00, 0x00, 0x01, 0x00}},
        {"serial number", serial, {0x12, 0x01, 0x80, 0x00, 0xFF, 0x00}, serialPage},
        {"serial number, 16-bit allocation",
         serial,
         {0x12, 0x01, 0x80, 0x01, 0x00, 0x00},
         serialPage},
        {"serial number cut at the allocation",
         serial,
         {0x12, 0x01, 0x80, 0x00, 0x06, 0x00},
         {0x05, 0x80, 0x00, 0x0C, 'Q', 'V'}},
        {"serial number, none", "", {0x12, 0x01, 0x80, 0x00, 0xFF, 0x00}, {}, sense::kInvalidField},
        {"device identification",
         serial,
         {0x12, 0x01, 0x83, 0x00, 0xFF, 0x00},
         {},
         sense::kInvalidField},
        {"a page without EVPD",
         serial,
         {0x12, 0x00, 0x80, 0x00, 0xFF, 0x00},
         {},
         sense::kInvalidField},
        {"CmdDt", serial, {0x12, 0x02, 0x00, 0x00, 0xFF, 0x00}, {}, sense::kInvalidField},
    };
    for (const InquiryCase& c : cases) {
        VirtualDrive drive;
        drive.SetSerial(c.serial);
        const Answered answered = AnswerOf(drive, c.cdb, 300);
        EXPECT_EQ(answered.data, c.data) << c.what;
        EXPECT_EQ(answered.sense, c.sense) << c.what;
    }
    // The standard data never carries the serial number.
    VirtualDrive withSerial;
    withSerial.SetSerial(serial);
    VirtualDrive without;
    EXPECT_EQ(AnswerOf(withSerial, {0x12, 0, 0, 0, 125, 0}, 125).data,
              AnswerOf(without, {0x12, 0, 0, 0, 125, 0}, 125).data);
}

// GET CONFIGURATION's pieces, as MMC lays them out.
std::vector<uint8_t> FeatureHeader(uint32_t dataLength, uint16_t currentProfile) {
    return {0x00,
            0x00,
            static_cast<uint8_t>(dataLength >> 8),
            static_cast<uint8_t>(dataLength),
            0x00,
            0x00,
            static_cast<uint8_t>(currentProfile >> 8),
            static_cast<uint8_t>(currentProfile)};
}
std::vector<uint8_t> ProfileList(const std::vector<uint16_t>& profiles, uint16_t current) {
    std::vector<uint8_t> feature{0x00, 0x00, 0x03, static_cast<uint8_t>(profiles.size() * 4)};
    for (const uint16_t profile : profiles) {
        feature.insert(feature.end(),
                       {static_cast<uint8_t>(profile >> 8), static_cast<uint8_t>(profile),
                        static_cast<uint8_t>(profile == current ? 1 : 0), 0});
    }
    return feature;
}
const std::vector<uint16_t> kWriterProfiles = {0x1B, 0x1A, 0x14, 0x13, 0x12,
                                               0x11, 0x10, 0x0A, 0x09, 0x08};
const std::vector<uint16_t> kReaderProfiles = {0x10, 0x08};
// Core (version 2, ATAPI, DBE), morphing (version 1, OCEvent), removable medium (a tray
// that ejects and locks): all persistent and current.
const std::vector<uint8_t> kCore = {0x00, 0x01, 0x0B, 0x08, 0, 0, 0, 0x02, 0x01, 0, 0, 0};
const std::vector<uint8_t> kMorphing = {0x00, 0x02, 0x07, 0x04, 0x02, 0, 0, 0};
const std::vector<uint8_t> kRemovable = {0x00, 0x03, 0x03, 0x04, 0x29, 0, 0, 0};

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

struct MmcCase {
    std::string what;
    bool reader;
    bool disc;
    std::vector<uint8_t> cdb;
    std::vector<uint8_t> data;  // empty with a sense
    std::optional<SenseInfo> sense = std::nullopt;
};

TEST(VirtualDriveTest, AnMmcClientIsAnsweredAsADriveOfItsKindAnswers) {
    const std::vector<uint8_t> writerList = ProfileList(kWriterProfiles, 0x0000);
    const std::vector<uint8_t> allConfiguration{0x46, 0x00, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0};
    const std::vector<MmcCase> cases = {
        {"writer, every feature", false, false, allConfiguration,
         Concat({FeatureHeader(76, 0x0000), writerList, kCore, kMorphing, kRemovable})},
        {"the header alone still counts every byte",
         false,
         false,
         {0x46, 0x00, 0, 0, 0, 0, 0, 0x00, 0x08, 0},
         FeatureHeader(76, 0x0000)},
        {"reader with a disc, current features",
         true,
         true,
         {0x46, 0x01, 0, 0, 0, 0, 0, 0x01, 0x00, 0},
         Concat({FeatureHeader(44, 0x0010), ProfileList(kReaderProfiles, 0x0010), kCore, kMorphing,
                 kRemovable})},
        {"writer with a disc: DVD-ROM is current",
         false,
         true,
         {0x46, 0x02, 0x00, 0x00, 0, 0, 0, 0x01, 0x00, 0},
         Concat({FeatureHeader(48, 0x0010), ProfileList(kWriterProfiles, 0x0010)})},
        {"one feature",
         false,
         false,
         {0x46, 0x02, 0x00, 0x01, 0, 0, 0, 0x01, 0x00, 0},
         Concat({FeatureHeader(16, 0x0000), kCore})},
        {"one feature it does not have",
         false,
         false,
         {0x46, 0x02, 0x01, 0x07, 0, 0, 0, 0x01, 0x00, 0},
         FeatureHeader(4, 0x0000)},
        {"from a starting feature on",
         false,
         false,
         {0x46, 0x00, 0x00, 0x02, 0, 0, 0, 0x01, 0x00, 0},
         Concat({FeatureHeader(20, 0x0000), kMorphing, kRemovable})},
        {"reserved request type",
         false,
         false,
         {0x46, 0x03, 0, 0, 0, 0, 0, 0x01, 0x00, 0},
         {},
         sense::kInvalidField},
        {"capacity, no disc",
         false,
         false,
         {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {},
         sense::kMediumNotPresent},
        {"capacity of a single-layer DVD",
         false,
         true,
         {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {0x00, 0x23, 0x05, 0x3F, 0x00, 0x00, 0x08, 0x00}},
        {"standard data: SPC-3, format 2, no NormACA",
         false,
         false,
         {0x12, 0, 0, 0, 8, 0},
         {0x05, 0x80, 0x05, 0x02, 0x78, 0x00, 0x00, 0x00}},
    };
    for (const MmcCase& c : cases) {
        VirtualDrive drive;
        drive.SetReader(c.reader);
        drive.SetDiscPresent(c.disc);
        const Answered answered = AnswerOf(drive, c.cdb, 300);
        EXPECT_EQ(answered.data, c.data) << c.what;
        EXPECT_EQ(answered.sense, c.sense) << c.what;
    }
}

TEST(VirtualDriveTest, AReaderClaimsNoWritingAndARecordedHeaderIsAnsweredAsGiven) {
    const std::vector<uint8_t> capabilities{0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 30, 0};
    VirtualDrive writer;
    VirtualDrive reader;
    reader.SetReader(true);
    EXPECT_EQ(AnswerOf(writer, capabilities, 30).data.at(11), 0x37);
    EXPECT_EQ(AnswerOf(reader, capabilities, 30).data.at(11), 0x00);

    // A recorded drive's bytes 0-7 are answered as they were, whatever they claim; its
    // identification and OEM tag stay where they were.
    VirtualDrive recorded({"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ", false});
    recorded.SetInquiryHeader({0x05, 0x80, 0x00, 0x32, 0x1F, 0x00, 0x00, 0x10});
    const Answered standard = AnswerOf(recorded, {0x12, 0, 0, 0, 200, 0}, 200);
    ASSERT_EQ(standard.data.size(), 125u);
    EXPECT_EQ(std::vector<uint8_t>(standard.data.begin(), standard.data.begin() + 8),
              (std::vector<uint8_t>{0x05, 0x80, 0x00, 0x32, 0x1F, 0x00, 0x00, 0x10}));
    EXPECT_EQ(std::string(standard.data.begin() + 8, standard.data.begin() + 36),
              "ORIN    DVD RW QV-5500A 1.0d");
    EXPECT_EQ(std::string(standard.data.begin() + 96, standard.data.begin() + 111),
              "ORIN      QZ   ");
    // One that announces more than 120 bytes has them, zeros past the tag.
    recorded.SetInquiryHeader({0x05, 0x80, 0x05, 0x02, 0xB3, 0x00, 0x00, 0x00});
    EXPECT_EQ(AnswerOf(recorded, {0x12, 0, 0, 0, 255, 0}, 255).data.size(), 184u);
}

TEST(VirtualDriveTest, TestUnitReadyFollowsTheTrayAndTheReadinessScript) {
    VirtualDrive drive;
    std::vector<uint8_t> none;
    drive.QueueReadiness(sense::kPowerOnReset);
    drive.QueueReadiness(sense::kBecomingReady);
    const std::vector<uint8_t> tur{0, 0, 0, 0, 0, 0};
    EXPECT_EQ(SendTo(drive, tur, DataDirection::None, none).sense, sense::kPowerOnReset);
    EXPECT_EQ(SendTo(drive, tur, DataDirection::None, none).sense, sense::kBecomingReady);
    EXPECT_EQ(SendTo(drive, tur, DataDirection::None, none).sense, sense::kMediumNotPresent);
    drive.SetDiscPresent(true);
    EXPECT_EQ(ClassifyOutcome(SendTo(drive, tur, DataDirection::None, none)), ExecResult::Ok);
}

TEST(VirtualDriveTest, FaultsHitTheKthMatchingCommandOrEveryOne) {
    VirtualDrive drive;
    std::vector<uint8_t> none;
    const std::vector<uint8_t> tur{0, 0, 0, 0, 0, 0};
    drive.SetDiscPresent(true);
    drive.AddFault(Fault{0x00, std::nullopt, 2, FaultKind::CheckCondition, sense::kMediumChanged});
    EXPECT_EQ(ClassifyOutcome(SendTo(drive, tur, DataDirection::None, none)), ExecResult::Ok);
    EXPECT_EQ(SendTo(drive, tur, DataDirection::None, none).sense, sense::kMediumChanged);
    EXPECT_EQ(ClassifyOutcome(SendTo(drive, tur, DataDirection::None, none)), ExecResult::Ok);
    drive.AddFault(Fault{std::nullopt, std::nullopt, 0, FaultKind::TimeOut, {}});
    EXPECT_EQ(ClassifyOutcome(SendTo(drive, tur, DataDirection::None, none)), ExecResult::TimedOut);
    EXPECT_EQ(ClassifyOutcome(SendTo(drive, tur, DataDirection::None, none)), ExecResult::TimedOut);
}

TEST(VirtualDriveTest, AVanishedDriveFailsEverything) {
    VirtualDrive drive;
    std::vector<uint8_t> none;
    drive.Vanish();
    EXPECT_EQ(SendTo(drive, {0, 0, 0, 0, 0, 0}, DataDirection::None, none).kind,
              OutcomeKind::OsError);
}

TEST(TraceLineTest, HasTheExactFormForEachResult) {
    TraceEntry entry;
    entry.cdb = {0x00, 0, 0, 0, 0, 0};
    EXPECT_EQ(FormatTraceLine(0, entry),
              "vdrive 0: 00 00 00 00 00 00 | none 0 crc32=00000000 | ok\n");
    entry.result = ExecResult::Failed;
    entry.sense = sense::kMediumNotPresent;
    EXPECT_EQ(FormatTraceLine(2, entry),
              "vdrive 2: 00 00 00 00 00 00 | none 0 crc32=00000000 | failed 2/3A\n");
    entry.cdb = {0xFA, 0xEE, 0xC1, 0, 0, 0, 1, 0, 0, 0, 0, 0x38};
    entry.direction = DataDirection::Out;
    entry.length = 16384;
    entry.crc32 = 0xDEADBEEF;
    entry.result = ExecResult::TimedOut;
    EXPECT_EQ(
        FormatTraceLine(1, entry),
        "vdrive 1: FA EE C1 00 00 00 01 00 00 00 00 38 | out 16384 crc32=DEADBEEF | timedout\n");
}

TEST(TraceLineTest, DigestsTheBytesReturned) {
    CapturedDiagnostics diagnostics;
    EmulatedBackend backend({std::make_shared<VirtualDrive>()}, diagnostics);
    backend.BeginDiscovery();
    const auto address = backend.NextCandidate();
    std::vector<uint8_t> buffer(4, 0);
    const std::vector<uint8_t> cdb{0x12, 0, 0, 0, 4, 0};
    ScsiRequest request{cdb, DataDirection::In, buffer.data(), 4, 15};
    backend.Send(*address, request);
    // CRC-32 of 05 80 05 02, the first four INQUIRY bytes.
    EXPECT_EQ(diagnostics.Text(), "vdrive 0: 12 00 00 00 04 00 | in 4 crc32=64D6A1C7 | ok\n");
}

}  // namespace
}  // namespace flashtool
