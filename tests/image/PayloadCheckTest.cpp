#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegionFixtures.h"
#include "core/Format.h"
#include "image/PayloadCheck.h"

namespace flashtool {
namespace {

struct RecordingReporter : RunReporter {
    std::vector<std::string> lines;
    std::vector<ResultCode> results;
    void AppendLog(std::string_view line) override { lines.emplace_back(line); }
    void ReportResult(ResultCode code) override { results.push_back(code); }
};

TEST(PayloadCheckTest, LogsTheExpectedSumsThenComparesThem) {
    const auto region = PackSmallRegion(RegionLayout::Dual);
    const PayloadSelection good =
        SelectPayload(kVariantOrin7250, ConfigOf(region), HeaderOf(region));

    PayloadSelection wrongLinear = good;
    wrongLinear.expectedLinear ^= 0x0A0A;
    PayloadSelection wrongRotated = good;
    wrongRotated.expectedRotated ^= 0x00F0;
    PayloadSelection outside = good;
    outside.first = region.size();
    const struct {
        const char* name;
        PayloadSelection selection;
        bool passes;
    } cases[] = {
        {"match", good, true},
        {"linear differs", wrongLinear, false},
        {"rotated differs", wrongRotated, false},
        {"range outside the region", outside, false},
    };
    for (const auto& c : cases) {
        FirmwareImage image;
        RecordingReporter reporter;
        const auto sums = CheckPayload(image, region, c.selection, reporter);
        EXPECT_EQ(sums.has_value(), c.passes) << c.name;
        std::vector<std::string> expected = {
            FormatText("Linear CheckSum : %04X", c.selection.expectedLinear),
            FormatText("Rotated CheckSum : %04X", c.selection.expectedRotated)};
        if (c.passes) {
            expected.push_back("Check Sum match !!");
            EXPECT_EQ(sums->Linear(), good.expectedLinear);
        }
        EXPECT_EQ(reporter.lines, expected) << c.name;
        EXPECT_TRUE(reporter.results.empty()) << "the caller reports the result";
    }
    // Four upper-case hexadecimal digits, also for small values.
    PayloadSelection small = wrongLinear;
    small.expectedLinear = 0x00AB;
    FirmwareImage image;
    RecordingReporter reporter;
    CheckPayload(image, region, small, reporter);
    EXPECT_EQ(reporter.lines.at(0), "Linear CheckSum : 00AB");
}

}  // namespace
}  // namespace flashtool
