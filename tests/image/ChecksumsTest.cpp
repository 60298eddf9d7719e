#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/Checksums.h"

namespace flashtool {
namespace {

TEST(ChecksumsTest, WorkedExamples) {
    const struct {
        std::vector<uint8_t> bytes;
        uint16_t linear;
        uint16_t rotated;
    } cases[] = {
        {{'a', 'b', 'c'}, 0x0126, 0x40AC},
        {{'c', 'b', 'a'}, 0x0126, 0xC0AA},  // the rotated sum depends on the order
        {{0xFF, 0xFF}, 0x01FE, 0x817E},
        {{}, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LinearSum(c.bytes), c.linear);
        EXPECT_EQ(RotatedSum(c.bytes), c.rotated);
        RunningSums running;
        for (const uint8_t byte : c.bytes) {
            running.Add(byte);
        }
        EXPECT_EQ(running.Linear(), c.linear);
        EXPECT_EQ(running.Rotated(), c.rotated);
    }
}

TEST(ChecksumsTest, ByteSumIsThirtyTwoBitsOverTheLowSixteenBitsOfTheCount) {
    const std::vector<uint8_t> abc = {'a', 'b', 'c'};
    EXPECT_EQ(ByteSum(abc.data(), 3), 0x126u);
    EXPECT_EQ(ByteSum(abc.data(), 0x10003), 0x126u);
    EXPECT_EQ(ByteSum(abc.data(), 0x10000), 0u);
    EXPECT_EQ(ByteSum(nullptr, 3), 0u);
    const std::vector<uint8_t> page(0xFFFF, 0xFF);
    EXPECT_EQ(ByteSum(page.data(), 0xFFFF), 0xFFFFu * 0xFF);
}

// The sums work in blocks; every length around a block edge, and any split of a range
// into pieces, must give what the byte-by-byte definition gives.
TEST(ChecksumsTest, FastSumsEqualTheByteByByteDefinition) {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(70000);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    for (const size_t length : {1, 255, 256, 257, 511, 4103, 65535, 70000}) {
        const std::span<const uint8_t> range(bytes.data(), length);
        uint32_t linear = 0;
        uint16_t rotated = 0;
        uint32_t counted = 0;  // what ByteSum adds: the low 16 bits of the count
        for (size_t i = 0; i < length; ++i) {
            linear += range[i];
            const uint32_t turned = ((rotated >> 1) | (uint32_t{rotated} << 15)) & 0xFFFF;
            rotated = static_cast<uint16_t>(turned + range[i]);
            counted += i < (length & 0xFFFF) ? range[i] : 0;
        }
        EXPECT_EQ(LinearSum(range), static_cast<uint16_t>(linear)) << length;
        EXPECT_EQ(RotatedSum(range), rotated) << length;
        EXPECT_EQ(ByteSum(range.data(), static_cast<uint32_t>(length)), counted) << length;
        RunningSums pieces;
        for (size_t done = 0; done < length; done += 1000) {
            pieces.Add(range.subspan(done, std::min<size_t>(1000, length - done)));
        }
        EXPECT_EQ(pieces.Linear(), static_cast<uint16_t>(linear)) << length;
        EXPECT_EQ(pieces.Rotated(), rotated) << length;
    }
}

}  // namespace
}  // namespace flashtool
