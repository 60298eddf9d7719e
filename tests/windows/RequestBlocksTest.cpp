// The request blocks of the Windows layers, byte by byte, for 32-bit and 64-bit builds.
// The expected offsets are written out here on purpose, not taken from the code under test.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "transport/windows/AspiBlocks.h"
#include "transport/windows/SptiRequest.h"

namespace flashtool {
namespace {

using ::testing::ElementsAreArray;

const std::vector<uint8_t> kVendorCdb = {0xF5, 0x01, 0x02, 0x03, 0x04, 0x05,
                                         0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B};

void Put(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void PutBytes(std::vector<uint8_t>& bytes, size_t offset, const std::vector<uint8_t>& source) {
    std::copy(source.begin(), source.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

struct SptiShape {
    size_t pointerSize;
    uint32_t header;
    size_t dataBuffer;
    size_t senseInfoOffset;
    size_t cdb;
    uint32_t sense;
    uint32_t size;
};
// 32-bit: the header is 44 bytes and the sense follows a 4-byte filler; 64-bit: the data
// pointer is aligned to 8 and 8 bytes wide, so everything after it moves.
const SptiShape kSptiShapes[] = {{4, 44, 20, 24, 28, 48, 80}, {8, 56, 24, 32, 36, 56, 88}};

TEST(SptiLayoutTest, FollowsThePointerWidthOfTheBuild) {
    for (const SptiShape& shape : kSptiShapes) {
        const SptiLayout layout = SptiLayoutFor(shape.pointerSize);
        EXPECT_EQ(layout.headerLength, shape.header);
        EXPECT_EQ(layout.dataBufferOffset, shape.dataBuffer);
        EXPECT_EQ(layout.senseInfoOffsetField, shape.senseInfoOffset);
        EXPECT_EQ(layout.cdbOffset, shape.cdb);
        EXPECT_EQ(layout.senseOffset, shape.sense);
        EXPECT_EQ(layout.requestSize, shape.size);
    }
    EXPECT_EQ(kNativeSptiLayout.pointerSize, sizeof(void*));
}

TEST(SptiRequestTest, WritesEveryFieldForEachDirectionAndPointerWidth) {
    struct Direction {
        DataDirection direction;
        uint8_t dataIn;
    };
    const Direction directions[] = {{DataDirection::In, 1},
                                    {DataDirection::Out, 0},
                                    {DataDirection::None, 2},
                                    {static_cast<DataDirection>(7), 2}};
    for (const SptiShape& shape : kSptiShapes) {
        for (const Direction& d : directions) {
            const uint64_t address = shape.pointerSize == 8 ? 0x00007F1234567890 : 0x12345678;
            std::vector<uint8_t> block(96, 0xEE);
            ASSERT_TRUE(BuildSptiRequest(SptiLayoutFor(shape.pointerSize),
                                         {1, 3, kVendorCdb, d.direction, 0x10000, 200, address},
                                         block));

            std::vector<uint8_t> expected(shape.size, 0);
            Put(expected, 0, shape.header, 2);  // Length
            expected[3] = 1;                    // PathId
            expected[4] = 3;                    // TargetId
            expected[6] = 12;                   // CdbLength
            expected[7] = 32;                   // SenseInfoLength
            expected[8] = d.dataIn;
            Put(expected, 12, 0x10000, 4);  // DataTransferLength
            Put(expected, 16, 200, 4);      // TimeOutValue
            Put(expected, shape.dataBuffer, address, shape.pointerSize);
            Put(expected, shape.senseInfoOffset, shape.sense, 4);
            PutBytes(expected, shape.cdb, kVendorCdb);
            EXPECT_THAT(std::vector<uint8_t>(block.begin(), block.begin() + shape.size),
                        ElementsAreArray(expected))
                << "pointer " << shape.pointerSize << " DataIn " << int(d.dataIn);
            EXPECT_EQ(block[shape.size], 0xEE) << "nothing is written past the request";
        }
    }
}

TEST(RequestBlockTest, RefusesWhatTheBlockCannotHold) {
    std::vector<uint8_t> big(96, 0);
    std::vector<uint8_t> small(79, 0);
    const std::vector<uint8_t> longCdb(17, 0x28);
    EXPECT_FALSE(BuildSptiRequest(SptiLayoutFor(4), {0, 0, kVendorCdb, {}, 0, 15, 0}, small));
    EXPECT_FALSE(BuildSptiRequest(SptiLayoutFor(8), {0, 0, longCdb, {}, 0, 15, 0}, big));
    EXPECT_FALSE(
        BuildSptiRequest(SptiLayoutFor(4), {0, 0, kVendorCdb, {}, 0, 15, 1ull << 32}, big));
    EXPECT_FALSE(BuildExecBlock(AspiExecLayoutFor(4), {0, 0, 0, kVendorCdb, 0, 0, 0}, small));
    EXPECT_FALSE(BuildExecBlock(AspiExecLayoutFor(8), {0, 0, 0, longCdb, 0, 0, 0}, big));
    EXPECT_FALSE(
        BuildExecBlock(AspiExecLayoutFor(4), {0, 0, 0, kVendorCdb, 0, 0, 1ull << 32}, big));
    EXPECT_EQ(small, std::vector<uint8_t>(79, 0)) << "a refused request writes nothing";
}

TEST(AspiBlocksTest, AdapterAndDeviceTypeInquiriesAreZeroedButForCommandAndAddress) {
    std::vector<uint8_t> haInquiry(60, 0);
    haInquiry[2] = 3;  // SRB_HaId; SRB_Cmd SC_HA_INQUIRY is 0
    const auto builtInquiry = HaInquiryBlock(3);
    EXPECT_THAT(std::vector<uint8_t>(builtInquiry.begin(), builtInquiry.end()),
                ElementsAreArray(haInquiry));

    const std::vector<uint8_t> getDevType = {1, 0, 3, 0, 0, 0, 0, 0, 14, 0, 0, 0};
    const auto builtDevType = GetDevTypeBlock(3, 14);
    EXPECT_THAT(std::vector<uint8_t>(builtDevType.begin(), builtDevType.end()),
                ElementsAreArray(getDevType));
}

TEST(AspiBlocksTest, TargetsToProbeComeFromTheAdapterOnlyWhenTheyAre8Or16) {
    const std::pair<uint8_t, uint8_t> cases[] = {{16, 16}, {8, 8}, {0, 8}, {7, 8}, {32, 8}};
    for (const auto& [reported, probed] : cases) {
        std::array<uint8_t, 60> inquiry{};
        inquiry[42 + 3] = reported;  // HA_Unique byte 3
        EXPECT_EQ(TargetsToProbe(inquiry), probed) << "reported " << int(reported);
    }
}

TEST(AspiBlocksTest, ExecBlockWritesEveryFieldForEachPointerWidth) {
    struct Shape {
        size_t pointerSize;
        size_t senseLen;
        size_t postProc;
        size_t cdb;
        size_t sense;
        size_t size;
    };
    // 32-bit: the documented 64-byte request and 16-byte sense area.
    const Shape shapes[] = {{4, 20, 24, 48, 64, 80}, {8, 24, 28, 56, 72, 88}};
    for (const Shape& shape : shapes) {
        const uint64_t buffer = shape.pointerSize == 8 ? 0x00007F0011223344 : 0x11223344;
        const uint64_t event = 0x5A0;
        std::vector<uint8_t> block(96, 0xEE);
        const uint8_t flags = kSrbDirIn | kSrbEventNotify;
        ASSERT_TRUE(BuildExecBlock(AspiExecLayoutFor(shape.pointerSize),
                                   {2, 5, flags, kVendorCdb, 0x4000, buffer, event}, block));

        std::vector<uint8_t> expected(shape.size, 0);
        expected[0] = 2;     // SC_EXEC_SCSI_CMD
        expected[2] = 2;     // SRB_HaId
        expected[3] = 0x48;  // SRB_Flags
        expected[8] = 5;     // SRB_Target
        Put(expected, 12, 0x4000, 4);
        Put(expected, 16, buffer, shape.pointerSize);
        expected[shape.senseLen] = 14;
        expected[shape.senseLen + 1] = 12;  // SRB_CDBLen
        Put(expected, shape.postProc, event, shape.pointerSize);
        PutBytes(expected, shape.cdb, kVendorCdb);
        EXPECT_THAT(std::vector<uint8_t>(block.begin(), block.begin() + shape.size),
                    ElementsAreArray(expected))
            << "pointer " << shape.pointerSize;

        const AspiExecLayout layout = AspiExecLayoutFor(shape.pointerSize);
        EXPECT_EQ(layout.haStatOffset, shape.senseLen + 2);
        EXPECT_EQ(layout.targStatOffset, shape.senseLen + 3);
        EXPECT_EQ(layout.senseOffset, shape.sense);
    }
}

}  // namespace
}  // namespace flashtool
