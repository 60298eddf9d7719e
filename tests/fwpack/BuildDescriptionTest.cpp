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
    const auto text = ReadWholeFile(FLASHTOOL_SOURCE_DIR "/builds/demo/build.txt");
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

// What the program would mishandle or always refuse is refused here, naming the field's
// line; the neighbouring builds it does take are accepted.
TEST(BuildDescriptionTest, RefusesWhatTheProgramCannotTakeNamingTheField) {
    const auto build = [](std::string_view key, std::string_view target, std::string_view family,
                          std::string_view layout, std::string_view extra = "") {
        std::string text = "key \"" + std::string(key) + "\"\ntarget \"" + std::string(target) +
                           "\"\nrevision 1.0e\nfamily " + std::string(family) +
                           "\npattern \"QZ*.**\"\nlayout " + std::string(layout) + "\n";
        if (layout == "dual") {
            text += "version-b 1.0e\n";
        }
        return text + std::string(extra);
    };
    constexpr std::string_view kQv5500a = "ORIN    DVD RW QV-5500A ";
    constexpr std::string_view kQv5505a = "ORIN    DVD RW QV-5505A ";
    constexpr std::string_view kAny = "*                       ";
    constexpr std::string_view kOther = "PALLAS  DVD+-RW PX-5500 ";
    const struct {
        std::string text;
        std::string error;  // empty: accepted
    } cases[] = {
        {build("ABCD2", kQv5500a, "KM7240", "dual"),
         "b.txt:1: key \"ABCD2\" is not the maker's: expected \"TARN\" and a digit"},
        {build("TARN5", kQv5500a, "KM7240", "dual"),
         "b.txt:1: key \"TARN5\" names no transfer method: the digit must be 0 to 4"},
        {build("TARN9", kOther, "KM7240", "single"), "b.txt:1: key \"TARN9\" names no transfer"},
        {build("TARN0", kOther, "KM7240", "single"), ""},
        {build("TARN4", kOther, "KM7240", "single"), ""},
        {build("TARN2", kOther, "KM7240", "single", "payload-a-size 20000\n"),
         "b.txt:7: payload-a-size 20000 is not a whole number of 16384-byte pages"},
        {build("TARN2", kQv5500a, "KM7240", "dual", "payload-b-size 16383\n"),
         "b.txt:8: payload-b-size 16383 is not a whole number of 16384-byte pages"},
        {build("TARN2", kOther, "KM7240", "single", "payload-a-size 32768\n"), ""},
        // Only a QV-5500A drive's check gives a tag, and only to a KM7240 build for it.
        {build("TARN2", kQv5500a, "KM7240", "single"),
         "b.txt:6: layout single is always refused for family \"KM7240\" with target \"ORIN    "
         "DVD RW QV-5500A \": the drive's model check always chooses the dual layout"},
        {build("TARN2", kQv5500a, "KM7240X", "single"), "b.txt:6: layout single is always"},
        {build("TARN2", kQv5505a, "KM7255", "dual"),
         "b.txt:6: layout dual is always refused for family \"KM7255\" with target \"ORIN    DVD "
         "RW QV-5505A \": only family KM7240 with target \"ORIN    DVD RW QV-5500A \" or \"*\" is "
         "checked in the dual layout"},
        {build("TARN2", kQv5500a, "KM7250", "dual"), "b.txt:6: layout dual is always refused"},
        {build("TARN2", kOther, "KM7240", "dual"), "b.txt:6: layout dual is always refused"},
        {build("TARN2", kAny, "KM3130", "dual"), "b.txt:6: layout dual is always refused"},
        {build("TARN2", kQv5500a, "KM7240", "dual"), ""},
        {build("TARN2", kQv5505a, "KM7255", "single"), ""},
        // A wildcard KM7240 build updates QV-5500A drives in the dual layout and the family's
        // other models in the single one: either layout can pass.
        {build("TARN2", kAny, "KM7240", "dual"), ""},
        {build("TARN2", kAny, "KM7240", "single"), ""},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseBuildDescription(c.text, "b.txt");
        EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error) << c.text;
        EXPECT_EQ(parsed.description.has_value(), c.error.empty()) << c.text;
    }
}

}  // namespace
}  // namespace flashtool
