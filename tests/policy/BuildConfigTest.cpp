#include <gtest/gtest.h>

#include <array>
#include <string_view>
#include <vector>

#include "image/BuildConfig.h"

namespace flashtool {
namespace {

using namespace std::string_literals;

// A block with every field set to a value that tells it apart from its neighbours.
std::array<uint8_t, kBuildConfigSize> SampleBlock() {
    std::array<uint8_t, kBuildConfigSize> bytes{};
    const auto put = [&](size_t offset, std::string_view text) {
        std::copy(text.begin(), text.end(), bytes.begin() + offset);
    };
    put(0, "TARN3");
    put(8, "*ESTREL DVD RW KD-5500  ");
    put(32, "1.0e");
    put(38, "KM7240");
    put(48, "qz*.**");
    const std::array<uint8_t, 8> numbers = {0xC1, 0xEE, 0x9C, 0x59, 0x00, 0xC0, 0x0D, 0x00};
    std::copy(numbers.begin(), numbers.end(), bytes.begin() + 56);
    return bytes;
}

TEST(BuildConfigTest, AccessorsReadEveryFieldAtItsOffset) {
    const BuildConfig config(SampleBlock());
    EXPECT_EQ(config.BuildKey(), "TARN3\0\0\0"s);
    EXPECT_EQ(config.TransferMethodDigit(), '3');
    EXPECT_EQ(config.TargetId(), "*ESTREL DVD RW KD-5500  ");
    EXPECT_TRUE(config.IsWildcard());
    EXPECT_EQ(config.NewRevision(), "1.0e");
    EXPECT_EQ(config.FamilyCode(), "KM7240\0\0"s);
    EXPECT_EQ(config.FamilyCode10(), "KM7240\0\0\0\0"s);
    EXPECT_EQ(config.FamilyText(), "KM7240");
    EXPECT_EQ(config.RevisionPattern(), "qz*.**\0\0"s);
    EXPECT_EQ(config.BrandLetters(), "qz");
    EXPECT_EQ(config.PatternCharacters(), "*.**");
    EXPECT_EQ(config.ExpectedLinear(), 0xEEC1);
    EXPECT_EQ(config.ExpectedRotated(), 0x599C);
    EXPECT_EQ(config.ImageSize(), 901120u);
    EXPECT_FALSE(BuildConfig().IsWildcard());
    EXPECT_EQ(BuildConfig().FamilyText(), "");
}

TEST(BuildConfigTest, FamilyTextTakesAllEightBytesWhenNoZeroEndsIt) {
    auto bytes = SampleBlock();
    std::fill_n(bytes.begin() + 38, 8, 'K');
    EXPECT_EQ(BuildConfig(bytes).FamilyText(), "KKKKKKKK");
}

TEST(BuildConfigTest, FromBytesNeedsTheWholeBlock) {
    const auto block = SampleBlock();
    std::vector<uint8_t> stored(block.begin(), block.end());
    stored.push_back(0xAB);
    ASSERT_TRUE(BuildConfig::FromBytes(stored).has_value());
    EXPECT_EQ(BuildConfig::FromBytes(stored)->Bytes(), block);
    stored.resize(kBuildConfigSize - 1);
    EXPECT_FALSE(BuildConfig::FromBytes(stored).has_value());
}

TEST(BuildConfigTest, PayloadHeaderReadsVersionSumsAndSize) {
    const std::vector<uint8_t> record = {'1',  '.',  '0',  'e',  0,    0,    0x34,
                                         0x12, 0x78, 0x56, 0x00, 0x00, 0x0E, 0x00};
    const auto header = PayloadHeader::FromBytes(record);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->Version(), "1.0e\0\0"s);
    EXPECT_EQ(header->ExpectedLinear(), 0x1234);
    EXPECT_EQ(header->ExpectedRotated(), 0x5678);
    EXPECT_EQ(header->ImageSize(), 917504u);
    EXPECT_FALSE(PayloadHeader::FromBytes(std::span(record).first(13)).has_value());
    EXPECT_EQ(PayloadHeader().ImageSize(), 0u);
}

TEST(BuildConfigTest, BrandCodeComesFromTheUpperCasedBrandLetters) {
    const struct {
        std::string_view pattern;
        BrandCode expected;
    } cases[] = {
        {"WV*.**", BrandCode::WV},
        {"wv*.**", BrandCode::WV},
        {"FG1.0*", BrandCode::FG},
        {"fG", BrandCode::FG},
        {"QZ*.**", BrandCode::QZ},
        {"qz*.**", BrandCode::QZ},
        {"Qz", BrandCode::QZ},
        {"XJ", BrandCode::XJ},
        {"xj", BrandCode::XJ},
        // Q followed by anything but Z or z, and the letters the other way round.
        {"QA*.**", BrandCode::Other},
        {"Qy", BrandCode::Other},
        {"Q*", BrandCode::Other},
        {"ZQ", BrandCode::Other},
        {"VW", BrandCode::Other},
        {"Q", BrandCode::Other},
        {"", BrandCode::Other},
        {std::string_view("\0\0", 2), BrandCode::Other},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeriveBrandCode(c.pattern), c.expected) << c.pattern;
    }
}

TEST(BuildConfigTest, MakerBuildNeedsTarnFirstWhateverTheDigit) {
    for (char digit = '0'; digit <= '9'; ++digit) {
        EXPECT_TRUE(IsMakerBuild("TARN"s + digit + "\0\0\0"s)) << digit;
    }
    for (const std::string_view key : {"tarn2", "TAR", "TARM2", "XTARN2", "", "TAR\0N2"}) {
        EXPECT_FALSE(IsMakerBuild(key)) << key;
    }
    EXPECT_TRUE(IsMakerBuild(BuildConfig(SampleBlock()).BuildKey()));
}

}  // namespace
}  // namespace flashtool
