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

// A tower's drives are all shown, and each selects its own row; past the rows a drive number
// holds, the tree stops with a box that says so, never without a word.
TEST(DriveTree, ShowsEveryDriveOfATowerAndSaysWhenThereAreMoreThanItTakes) {
    struct Case {
        size_t drives;
        size_t shown;
        bool told;
    };
    for (const Case c : {Case{32, 32, false}, Case{255, 255, false}, Case{257, 255, true}}) {
        SCOPED_TRACE(c.drives);
        std::vector<VirtualDriveSetup> many(c.drives, Drive(kTarget));
        many.back().revision = "1.0c";
        DialogHarness rig(ConfigFields{}, many);
        rig.Started();
        ASSERT_EQ(rig.window.drives.size(), c.shown);
        EXPECT_EQ(rig.dialog->Transport().DeviceCount(), c.shown);
        EXPECT_EQ(rig.window.drives.back().text,
                  kTarget + (c.told ? std::string("1.0d") : std::string("1.0c")));
        const bool told =
            std::any_of(rig.window.boxes.begin(), rig.window.boxes.end(), [](const ShownBox& box) {
                return box.request.text.starts_with("More drives were found than the 255");
            });
        EXPECT_EQ(told, c.told);
        EXPECT_EQ(rig.dialog->Transport().ScanMissedDrives(), c.told);
        // Nothing was sent to a drive past the last row.
        for (size_t n = c.shown; n < c.drives; ++n) {
            EXPECT_TRUE(rig.drives[n]->Trace().empty()) << n;
        }
        rig.Select(static_cast<int>(c.shown) - 1);
        EXPECT_EQ(rig.dialog->SelectedIndex(), c.shown - 1);
    }
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
