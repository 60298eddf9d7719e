#include <gtest/gtest.h>

#include <string>

#include "core/Bytes.h"
#include "image/FirmwareImage.h"
#include "policy/GatingState.h"

namespace flashtool {
namespace {

BuildConfig Config(std::string_view family, uint32_t sizeA) {
    std::array<uint8_t, kBuildConfigSize> bytes{};
    std::copy(family.begin(), family.end(), bytes.begin() + 38);
    StoreLittleEndian16(bytes, 56, 0xA1A1);
    StoreLittleEndian16(bytes, 58, 0xA2A2);
    StoreLittleEndian32(bytes, 60, sizeA);
    return BuildConfig(bytes);
}

PayloadHeader Header(uint32_t sizeB) {
    std::array<uint8_t, kPayloadHeaderSize> bytes{};
    StoreLittleEndian16(bytes, 6, 0xB1B1);
    StoreLittleEndian16(bytes, 8, 0xB2B2);
    StoreLittleEndian32(bytes, 10, sizeB);
    return PayloadHeader(bytes);
}

TEST(SelectPayloadTest, EachRuleOfTheStagingTable) {
    constexpr uint32_t kA = 901120;
    constexpr uint32_t kB = 917504;
    const struct {
        std::string_view family;
        std::string_view tag;
        uint32_t sizeB;
        PayloadSelection expected;
    } cases[] = {
        // Rule 1 comes before the tag: from 64, S - 12, with the sums of the tag's payload.
        {"TJ44", kVariantOrin7250, kB, {kB, 0xB1B1, 0xB2B2, 64, kB - 12, 56}},
        {"KM7300", kVariantOrin7240, kB, {kA, 0xA1A1, 0xA2A2, 64, kA - 12, 55}},
        {"KM7300", "", kB, {kA, 0xA1A1, 0xA2A2, 64, kA - 12, 55}},
        {"TJ44", kVariantOrin7250, 11, {11, 0xB1B1, 0xB2B2, 64, 0, 0}},
        {"TJ44", kVariantOrin7250, 12, {12, 0xB1B1, 0xB2B2, 64, 0, 0}},
        // Rule 2: payload B after payload A and the separator.
        {"KM7240", kVariantOrin7250, kB, {kB, 0xB1B1, 0xB2B2, 118 + kA, kB, 56}},
        // Rule 3: payload A after the payload header.
        {"KM7240", kVariantOrin7240, kB, {kA, 0xA1A1, 0xA2A2, 78, kA, 55}},
        // Rule 4: the only payload, after BuildConfig.
        {"KM7240", "", kB, {kA, 0xA1A1, 0xA2A2, 64, kA, 55}},
        {"KM7240", "ORIN_72", kB, {kA, 0xA1A1, 0xA2A2, 64, kA, 55}},
        // The 8-bit page count keeps the low bits of a size no buffer holds.
        {"KM7240",
         kVariantOrin7250,
         257 * 16384 + 5,
         {257 * 16384 + 5, 0xB1B1, 0xB2B2, 118 + kA, 257 * 16384 + 5, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SelectPayload(c.tag, Config(c.family, kA), Header(c.sizeB)), c.expected)
            << c.family << " " << c.tag << " " << c.sizeB;
    }
}

}  // namespace
}  // namespace flashtool
