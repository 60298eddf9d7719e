#include <gtest/gtest.h>

#include <string>

#include "tools/fwpack/BuildDescription.h"
#include "tools/fwpack/FileIo.h"

namespace flashtool {
namespace {

constexpr std::string_view kGood =
    "# a build\n"
    "key \"TARN2\"\n"
    "target \"ORIN    DVD RW QV-5500A \"\n"
    "revision 1.0e\n"
    "family KM7240\n"
    "pattern \"QZ*.**\"\n"
    "layout dual\n"
    "version-b \"1.0e\"\n";

TEST(BuildDescriptionTest, ReadsThisBuildsDescription) {
    const auto text = ReadWholeFile(FLASHTOOL_SOURCE_DIR "/data/build.txt");
    ASSERT_TRUE(text.has_value());
    const auto parsed = ParseBuildDescription(std::string(text->begin(), text->end()), "build.txt");
    ASSERT_TRUE(parsed.description.has_value()) << parsed.error;
    const BuildDescription& d = *parsed.description;
    EXPECT_EQ(d.key, "TARN2");
    EXPECT_EQ(d.target, "ORIN    DVD RW QV-5500A ");
    EXPECT_EQ(d.revision, "1.0e");
    EXPECT_EQ(d.family, "KM7240");
    EXPECT_EQ(d.pattern, "QZ*.**");
    EXPECT_EQ(d.layout, RegionLayout::Dual);
    EXPECT_EQ(d.versionB, "1.0e");
    EXPECT_EQ(d.separatorTag.size(), 25u);
    EXPECT_EQ(d.payloadSizeA, 901120u);
    EXPECT_EQ(d.payloadSizeB, 917504u);
}

TEST(BuildDescriptionTest, RefusesAMalformedDescriptionNamingTheLine) {
    const auto replaced = [](std::string_view from, std::string_view to) {
        std::string text(kGood);
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {replaced("\"TARN2\"", "TARN"), "b.txt:2: key \"TARN\" is malformed"},
        {replaced("\"TARN2\"", "tarn2"), "b.txt:2: key \"tarn2\" is malformed"},
        {replaced("\"TARN2\"", "TARNX"), "b.txt:2: key \"TARNX\" is malformed"},
        {replaced("QV-5500A \"", "QV-5500A\""),
         "b.txt:3: target \"ORIN    DVD RW QV-5500A\" is not 24"},
        {replaced("1.0e\n", "1.0\n"), "b.txt:4: revision \"1.0\" is malformed"},
        {replaced("1.0e\n", "1.0ee\n"), "b.txt:4: revision \"1.0ee\" is malformed"},
        {replaced("KM7240", "KM72400X"), "b.txt:5: family \"KM72400X\" is malformed"},
        {replaced("\"QZ*.**\"", "\"Q*.**\""), "b.txt:6: pattern \"Q*.**\" is malformed"},
        {replaced("\"QZ*.**\"", "\"1Z*.**\""), "b.txt:6: pattern \"1Z*.**\" is malformed"},
        {replaced("dual", "triple"), "b.txt:7: layout must be single or dual"},
        {replaced("version-b \"1.0e\"\n", ""), "b.txt: version-b \"\" is malformed"},
        {replaced("KM7240", "TJ44"), "b.txt:5: family \"TJ44\" cannot use the dual layout"},
        {replaced("dual", "single"),
         "b.txt:8: version-b and payload-b-size belong to the dual layout"},
        {replaced("key \"TARN2\"\n", ""), "b.txt: key is missing"},
        {replaced("# a build", "colour blue"), "b.txt:1: unknown name \"colour\""},
        {replaced("# a build", "family KM7255"), "b.txt:5: family is given twice"},
        {replaced("# a build", "key TARN2 TARN3"), "b.txt:1: expected a name and one value"},
        {replaced("# a build", "target \"ORIN"), "b.txt:1: unbalanced double quote"},
        {replaced("# a build", "payload-a-size 0"),
         "b.txt:1: payload-a-size must be between 1 and 2097152"},
        {replaced("# a build", "payload-b-size 2097153"),
         "b.txt:1: payload-b-size must be between"},
        {replaced("# a build", "payload-a-size 12k"), "b.txt:1: payload-a-size is not a number"},
        {replaced("# a build", "separator-tag \"SHORT\""),
         "b.txt:1: separator-tag \"SHORT\" is not 25"},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseBuildDescription(c.text, "b.txt");
        EXPECT_FALSE(parsed.description.has_value()) << c.error;
        EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error);
    }
    EXPECT_TRUE(ParseBuildDescription(kGood, "b.txt").description.has_value());
}

}  // namespace
}  // namespace flashtool
