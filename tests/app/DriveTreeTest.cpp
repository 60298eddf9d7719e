// The drive tree: its items, which drives are greyed, and what a selection shows.

#include <gtest/gtest.h>

#include "support/DialogHarness.h"

namespace flashtool::testing {
namespace {

const std::string kTarget = "ORIN    DVD RW QV-5500A ";
const std::string k5520 = "ORIN    DVD RW QV-5520A ";
const std::string kKestrel = "KESTREL DVD-ROM KD-1650 ";

VirtualDriveSetup Drive(const std::string& identification, const std::string& revision = "1.0d") {
    return {identification, revision, "ORIN      QZ", false};
}

std::vector<bool> GreyFlags(const DialogHarness& rig) {
    std::vector<bool> grey;
    for (const DriveItem& drive : rig.window.drives) {
        grey.push_back(drive.greyed);
    }
    return grey;
}

TEST(DriveTree, ListsEveryDriveUnderTheRootInDiscoveryOrder) {
    DialogHarness rig;
    rig.Started();

    EXPECT_EQ(rig.window.computer, "My Computer");
    const auto& drives = rig.window.drives;
    ASSERT_EQ(drives.size(), 3u);
    const char* texts[] = {"ORIN    DVD RW QV-5500A 1.0d", "ORIN    DVD RW QV-5520A 2.1b",
                           "KESTREL DVD-ROM KD-1650 0113"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(drives[i].text, texts[i]);
    }
    EXPECT_EQ(GreyFlags(rig), (std::vector<bool>{false, true, true}));
    // Row 0 is the transport's current row until the user picks another.
    EXPECT_EQ(rig.dialog->Transport().Selected(), 0);
}

TEST(DriveTree, NeverHoldsMoreDrivesThanTheDeviceTable) {
    std::vector<VirtualDriveSetup> many(10, Drive(kTarget));
    DialogHarness rig(ConfigFields{}, many);
    rig.Started();
    EXPECT_EQ(rig.window.drives.size(), ScsiTransport::kMaxDevices);
}

struct GreyCase {
    const char* name;
    ConfigFields config;
    std::vector<std::string> drives;
    std::vector<bool> grey;
};

class GreyRules : public ::testing::TestWithParam<GreyCase> {};

TEST_P(GreyRules, GreysTheDrivesThisBuildCannotUpdate) {
    const GreyCase& c = GetParam();
    std::vector<VirtualDriveSetup> setups;
    for (const std::string& identification : c.drives) {
        setups.push_back(Drive(identification));
    }
    DialogHarness rig(c.config, setups);
    rig.Started();
    EXPECT_EQ(GreyFlags(rig), c.grey);
}

INSTANTIATE_TEST_SUITE_P(
    Builds, GreyRules,
    ::testing::Values(
        GreyCase{"ExactTarget", {}, {k5520, kTarget, kKestrel}, {true, false, true}},
        // Byte for byte: a zero where the target has its trailing blank, or another case.
        GreyCase{"TrailingBlank",
                 {},
                 {std::string("ORIN    DVD RW QV-5500A\0", 24), "orin    DVD RW QV-5500A "},
                 {true, true}},
        GreyCase{"WildcardWithFamily",
                 {.target = "*", .family = "KM7240"},
                 {kTarget, k5520, kKestrel},
                 {false, true, true}},
        // The family of the drive before never carries over to a drive outside the table.
        GreyCase{"WildcardUnknownAfterMatch",
                 {.target = "*", .family = "KM7240"},
                 {kTarget, kKestrel, kTarget},
                 {false, true, false}},
        GreyCase{"WildcardWithoutFamily",
                 {.target = "*", .family = ""},
                 {kTarget, kKestrel},
                 {true, true}},
        GreyCase{"NotAMakerBuild", {.key = "TRAN2"}, {kTarget, k5520}, {true, true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Selection, ADriveShowsItsIdentificationAndRevisionAndEnablesUpgrade) {
    DialogHarness rig({.pattern = "XJ*.**"});
    rig.Started();
    rig.Select(2);

    EXPECT_EQ(rig.dialog->SelectedIndex(), 2u);
    EXPECT_EQ(rig.dialog->DriveText(), "KESTREL DVD-ROM KD-1650 0113");
    EXPECT_EQ(rig.window.Log(), "KESTREL DVD-ROM KD-1650  Current firmware : 0113");
    EXPECT_TRUE(rig.window.enabled[DialogButton::Upgrade]);
}

TEST(Selection, BrandQzShowsTheIdentificationAloneBlanksIncluded) {
    DialogHarness rig;
    rig.Started();
    rig.dialog->AppendLog("earlier line");
    rig.Select(0);

    EXPECT_EQ(rig.dialog->SelectedIndex(), 0u);
    EXPECT_EQ(rig.window.Log(), "ORIN    DVD RW QV-5500A ");
    // Later lines follow the selection display.
    rig.dialog->AppendLog("next");
    EXPECT_EQ(rig.window.Log(), "ORIN    DVD RW QV-5500A \r\nnext");
}

TEST(Selection, TheRootAfterADriveShowsNoDriveSelectedAndLeavesUpgradeAsItWas) {
    DialogHarness rig;
    rig.Started();
    rig.Select(1);
    ASSERT_TRUE(rig.window.enabled[DialogButton::Upgrade]);
    rig.Select(-1);

    EXPECT_EQ(rig.window.Log(), "No drive selected.");
    EXPECT_EQ(rig.dialog->DriveText(), "My Computer");
    EXPECT_EQ(rig.dialog->SelectedIndex(), 0u);
    EXPECT_TRUE(rig.window.enabled[DialogButton::Upgrade]);
}

TEST(Selection, DuringARunReplacesTheTextButNeverEnablesUpgrade) {
    DialogHarness rig;
    rig.Started();
    ASSERT_TRUE(rig.dialog->BeginRun());
    rig.dialog->EnableButtons(false);
    rig.Select(2);

    EXPECT_EQ(rig.window.Log(), "KESTREL DVD-ROM KD-1650 ");
    EXPECT_EQ(rig.dialog->SelectedIndex(), 2u);
    EXPECT_FALSE(rig.window.enabled[DialogButton::Upgrade]);
}

}  // namespace
}  // namespace flashtool::testing
