#include <gtest/gtest.h>

#include "transport/Sense.h"

namespace flashtool {
namespace {

TEST(SenseTest, ReadsBothFormatsByResponseCode) {
    struct Case {
        std::vector<uint8_t> bytes;
        std::optional<SenseInfo> expected;
    };
    const Case cases[] = {
        // Fixed format, current and deferred, with the valid bit set or not.
        {{0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x01}, SenseInfo{2, 0x3A, 1}},
        {{0xF1, 0, 0x36, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29, 0x00}, SenseInfo{6, 0x29, 0}},
        // Descriptor format.
        {{0x72, 0x05, 0x24, 0x00}, SenseInfo{5, 0x24, 0}},
        {{0x73, 0x02, 0x04, 0x01}, SenseInfo{2, 0x04, 1}},
        // A fixed-format buffer cut short reads its missing bytes as zero.
        {{0x70, 0, 0x03}, SenseInfo{3, 0, 0}},
        {{0x00, 0, 0x02}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSense(c.bytes), c.expected);
    }
}

}  // namespace
}  // namespace flashtool
