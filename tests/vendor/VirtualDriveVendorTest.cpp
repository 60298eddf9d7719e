// The virtual drive's side of the vendor commands: it refuses what a real drive refuses,
// and reports its capabilities page in the layout the program reads.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "emulator/VirtualDrive.h"

namespace flashtool {
namespace {

PassThroughOutcome Send(VirtualDrive& drive, std::vector<uint8_t> cdb, DataDirection direction,
                        std::vector<uint8_t>& buffer) {
    ScsiRequest request;
    request.cdb = cdb;
    request.direction = direction;
    request.data = buffer.empty() ? nullptr : buffer.data();
    request.length = static_cast<uint32_t>(buffer.size());
    return drive.Handle(request);
}

std::vector<uint8_t> Cdb12(std::initializer_list<uint8_t> head) {
    std::vector<uint8_t> cdb(head);
    cdb.resize(12, 0);
    return cdb;
}

TEST(VirtualDriveVendorTest, RefusesMalformedVendorCommandsAsIllegalRequests) {
    struct Case {
        const char* name;
        std::vector<uint8_t> cdb;
        DataDirection direction;
        size_t length;
    };
    const Case cases[] = {
        {"handshake without signature", Cdb12({0xFD, 0xF1, 'T', 'A', 'R', 'X'}),
         DataDirection::None, 0},
        {"handshake, signature misplaced", Cdb12({0xFD, 0xF1, 0, 'T', 'A', 'R', 'N'}),
         DataDirection::None, 0},
        {"record read, wrong area", Cdb12({0xF5, 0x01, 0, 0xA1, 0, 0x24, 0, 4}), DataDirection::In,
         4},
        {"record read, wrong location", Cdb12({0xF5, 0x01, 0, 0xA2, 0, 0x23, 0, 4}),
         DataDirection::In, 4},
        {"record write, wrong location", Cdb12({0xF5, 0x03, 0, 0xA2, 0, 0x03, 0, 4}),
         DataDirection::Out, 4},
        {"record write, wrong length", Cdb12({0xF5, 0x03, 0, 0xA2, 0, 0x02, 0, 8}),
         DataDirection::Out, 8},
        {"record, unknown sub-function", Cdb12({0xF5, 0x02, 0, 0xA2, 0, 0x02, 0, 4}),
         DataDirection::In, 4},
        {"mode sense, another page",
         {0x5A, 0, 0x0E, 0, 0, 0, 0, 0, 0x1E, 0},
         DataDirection::In,
         30},
    };
    for (const Case& c : cases) {
        VirtualDrive drive;
        std::vector<uint8_t> buffer(c.length, 0);
        const PassThroughOutcome outcome = Send(drive, c.cdb, c.direction, buffer);
        EXPECT_EQ(outcome.scsiStatus, kStatusCheckCondition) << c.name;
        EXPECT_EQ(outcome.sense, sense::kInvalidField) << c.name;
        EXPECT_EQ(drive.Vendor().handshakes + drive.Vendor().recordWrites, 0u) << c.name;
    }
}

TEST(VirtualDriveVendorTest, CapabilitiesPageCarriesTheBufferSizeAtReplyBytes20And21) {
    VirtualDrive drive;
    drive.Vendor().bufferSizeKb = 0x1234;
    std::vector<uint8_t> buffer(64, 0xEE);
    const auto outcome =
        Send(drive, {0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 0x1E, 0}, DataDirection::In, buffer);
    EXPECT_EQ(ClassifyOutcome(outcome), ExecResult::Ok);
    EXPECT_EQ(outcome.residual, 64u - 30u);
    EXPECT_EQ(buffer[1], 28);    // mode data length
    EXPECT_EQ(buffer[8], 0x2A);  // page code right after the 8-byte header
    EXPECT_EQ(buffer[20], 0x12);
    EXPECT_EQ(buffer[21], 0x34);
}

TEST(VirtualDriveVendorTest, RecordsAreReadAndWrittenAtTheirLocations) {
    VirtualDrive drive;
    std::vector<uint8_t> record{0x30, 0x51, 0xAB, 0xCD};
    EXPECT_EQ(ClassifyOutcome(Send(drive, Cdb12({0xF5, 0x03, 0, 0xA2, 0, 0x24, 0, 4}),
                                   DataDirection::Out, record)),
              ExecResult::Ok);
    EXPECT_EQ(drive.Vendor().recordAt24, (std::array<uint8_t, 4>{0x30, 0x51, 0xAB, 0xCD}));
    EXPECT_TRUE(drive.Vendor().UpdateMarked());
    std::vector<uint8_t> back(4, 0);
    Send(drive, Cdb12({0xF5, 0x01, 0, 0xA2, 0, 0x02, 0, 4}), DataDirection::In, back);
    EXPECT_EQ(back, (std::vector<uint8_t>{0x00, 0x00, 0x5A, 0xC3}));
}

TEST(VirtualDriveVendorTest, OnlyAnEjectEmptiesTheTray) {
    VirtualDrive drive({.discPresent = true});
    std::vector<uint8_t> none;
    const std::vector<uint8_t> tur{0, 0, 0, 0, 0, 0};
    Send(drive, {0x1B, 0, 0, 0, 0x03, 0}, DataDirection::None, none);  // load
    Send(drive, {0x1B, 0, 0, 0, 0x01, 0}, DataDirection::None, none);  // start
    EXPECT_EQ(ClassifyOutcome(Send(drive, tur, DataDirection::None, none)), ExecResult::Ok);
    Send(drive, {0x1B, 0, 0, 0, 0x02, 0}, DataDirection::None, none);  // eject
    EXPECT_EQ(Send(drive, tur, DataDirection::None, none).sense, sense::kMediumNotPresent);
    EXPECT_EQ(drive.Vendor().ejects, 1u);
}

}  // namespace
}  // namespace flashtool
