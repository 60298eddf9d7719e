// The start-up sequence: the notice for each brand, the texts it sets, and the two ways
// start-up ends early.

#include <gtest/gtest.h>

#include "support/DialogHarness.h"

namespace flashtool::testing {
namespace {

constexpr const char* kNoticeOther =
    "1.Please DO NOT turn off power while upgrading.\n\n2.Please ensure the device is properly "
    "installed and DO NOT remove the device while upgrading.\n\n3.Please ensure all current "
    "applications are terminated before proceed upgrading.";
constexpr const char* kNoticeFg =
    "1.Please remove any media from the device.\n\n2.Please DO NOT turn off power while "
    "upgrading.\n\n3.Please ensure the device is properly installed and DO NOT remove the "
    "device while upgrading.\n\n4.Please ensure all current applications are terminated before "
    "proceed upgrading.";
constexpr const char* kNoticeXj =
    "1.Please DO NOT turn off power while upgrading.\n\n2.Please execute this program again if "
    "power has been turned off accidentally while upgrading.\n\n3.Please ensure the device is "
    "properly installed and DO NOT remove the device while upgrading.\n\n4.Please ensure all "
    "current applications are terminated before proceed upgrading.";

std::string NoticeQz(const std::string& model) {
    return "This flash utility only supports " + model +
           " drive.\n\nNOTICE :\n\n1> Please REMOVE disc and close all applications before "
           "running this utility !   \n2> Don't turn off the system while flash is in "
           "porgress.\n\nDo you wish to continue ?";
}

struct BrandCase {
    const char* name;
    std::string pattern;
    std::string family;
    std::string notice;
    std::string caption;  // empty: the template's texts stay
};

class StartupByBrand : public ::testing::TestWithParam<BrandCase> {};

TEST_P(StartupByBrand, ShowsTheBrandsNoticeThenSetsItsTexts) {
    const BrandCase& c = GetParam();
    DialogHarness rig({.family = c.family, .pattern = c.pattern});
    ASSERT_TRUE(rig.Started().started);

    ASSERT_FALSE(rig.window.boxes.empty());
    EXPECT_EQ(rig.window.boxes[0].request,
              (MessageBoxRequest{c.notice, "Warning", BoxButtons::OkCancel, BoxIcon::Exclamation}));
    const bool branded = !c.caption.empty();
    EXPECT_EQ(rig.window.texts.caption, branded ? c.caption : "Flash Tool (ver. A-7.6 beta5)");
    EXPECT_EQ(rig.window.texts.devicesLabel,
              branded ? "Please select target &Drive:" : "&Devices:");
    EXPECT_EQ(rig.window.texts.exitButton, branded ? "&Close" : "E&xit");
    EXPECT_EQ(rig.window.texts.upgradeButton, branded ? "&Update" : "&Upgrade");
    EXPECT_FALSE(rig.window.enabled[DialogButton::Upgrade]);
    EXPECT_TRUE(rig.window.enabled[DialogButton::Exit]);
    EXPECT_FALSE(rig.window.endResult.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Brands, StartupByBrand,
    ::testing::Values(
        BrandCase{"WV", "WV*.**", "KM7240", kNoticeOther, ""},
        BrandCase{"FG", "FG*.**", "KM7240", kNoticeFg, ""},
        BrandCase{"XJ", "XJ*.**", "KM7240", kNoticeXj, ""},
        BrandCase{"Other", "AB*.**", "KM7240", kNoticeOther, ""},
        BrandCase{"QzKM7240", "QZ*.**", "KM7240", NoticeQz("ORIN DVD RW QV-5500A"),
                  "Flash Program for ORIN DVD RW QV-5500A"},
        BrandCase{"QzLowerCase", "qz*.**", "KM7240", NoticeQz("ORIN DVD RW QV-5500A"),
                  "Flash Program for ORIN DVD RW QV-5500A"},
        // Nine characters: the family field and the byte after it.
        BrandCase{"QzQX5500UL", "QZ*.**", "QX-5500UL", NoticeQz("ORIN DVD RW QV-5500A"),
                  "Flash Program for ORIN DVD RW QV-5500A"},
        BrandCase{"QzKM7255", "QZ*.**", "KM7255", NoticeQz("ORIN DVD RW QV-5505A"),
                  "Flash Program for ORIN DVD RW QV-5505A"},
        BrandCase{"QzKM7300", "QZ*.**", "KM7300", NoticeQz("ORIN DVD RW QV-5520A"),
                  "Flash Program for ORIN DVD RW QV-5520A"},
        // A family outside the table names no model: two blanks in the notice, and the
        // caption ends after "for ".
        BrandCase{"QzUnknownFamily", "QZ*.**", "KM9999", NoticeQz(""), "Flash Program for "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Startup, DecliningTheNoticeReportsCancelAndNeverLoadsTheTransport) {
    DialogHarness rig;
    rig.window.answers = {BoxAnswer::Cancel};
    EXPECT_FALSE(rig.Started().started);

    ASSERT_EQ(rig.window.boxes.size(), 2u);
    EXPECT_EQ(rig.window.boxes[1].request,
              (MessageBoxRequest{"User cancelled.", std::nullopt, BoxButtons::Ok, BoxIcon::None}));
    EXPECT_EQ(rig.window.boxes[1].logWhenShown, "\r\nUser cancelled.");
    EXPECT_EQ(rig.window.endResult, kDialogCancel);
    EXPECT_EQ(rig.counts.loads, 0);
    EXPECT_EQ(rig.counts.discoveries, 0);
    EXPECT_EQ(rig.counts.commands, 0);
    EXPECT_TRUE(rig.window.computer.empty());
    EXPECT_EQ(rig.window.texts.caption, "Flash Tool (ver. A-7.6 beta5)");
}

TEST(Startup, AFailedLoadShowsItsMessageThenInitialFailAndEnds) {
    DialogHarness rig(ConfigFields{}, MakeDemoDrives(), /*loadFails=*/true);
    EXPECT_FALSE(rig.Started().started);

    ASSERT_EQ(rig.window.boxes.size(), 3u);
    EXPECT_EQ(rig.window.boxes[1].request,
              (MessageBoxRequest{"The drive interface is missing.", std::nullopt, BoxButtons::Ok,
                                 BoxIcon::None}));
    EXPECT_EQ(rig.window.boxes[2].request,
              (MessageBoxRequest{"Initial fail.", std::nullopt, BoxButtons::Ok, BoxIcon::None}));
    EXPECT_EQ(rig.window.endResult, kDialogCancel);
    EXPECT_EQ(rig.counts.discoveries, 0);
    EXPECT_TRUE(rig.window.computer.empty());
    EXPECT_EQ(rig.window.texts.caption, "Flash Tool (ver. A-7.6 beta5)");
}

TEST(Startup, NoDriveShowsNoDeviceFoundAndLeavesOnlyTheRoot) {
    DialogHarness rig(ConfigFields{}, Drives{});
    EXPECT_TRUE(rig.Started().started);

    ASSERT_EQ(rig.window.boxes.size(), 2u);
    // The box says where to look, in the terms of the back-end that found nothing.
    EXPECT_EQ(rig.window.boxes[1].request,
              (MessageBoxRequest{"No Device found!", std::nullopt, BoxButtons::Ok, BoxIcon::None,
                                 QuestionKind::None,
                                 "The virtual drives' scenario has no drive: give one with "
                                 "drives (--drives FILE)."}));
    EXPECT_EQ(rig.window.computer, "My Computer");
    EXPECT_TRUE(rig.window.drives.empty());
    EXPECT_FALSE(rig.window.enabled[DialogButton::Upgrade]);
    EXPECT_FALSE(rig.window.endResult.has_value());

    rig.Select(-1);
    EXPECT_EQ(rig.window.Log(), "No drive selected.");
    EXPECT_FALSE(rig.window.enabled[DialogButton::Upgrade]);
}

TEST(Startup, AStoredRegionTooShortForTheConfigurationGreysEveryDrive) {
    FakeDialogWindow window;
    CapturedDiagnostics diagnostics;
    FakeClock clock;
    FakeRestart restart;
    FakeInhibitor inhibitor;
    std::vector<std::shared_ptr<VirtualDrive>> drives{std::make_shared<VirtualDrive>()};
    const std::array<uint8_t, 10> shortRegion{'T', 'A', 'R', 'N', '2'};
    FlashDialog dialog({window, std::make_unique<EmulatedBackend>(drives, diagnostics), shortRegion,
                        restart, clock, diagnostics, inhibitor});
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.WaitForRun();  // the scan
    EXPECT_FALSE(IsMakerBuild(dialog.Config().BuildKey()));
    ASSERT_EQ(window.drives.size(), 1u);
    EXPECT_TRUE(window.drives[0].greyed);
}

}  // namespace
}  // namespace flashtool::testing
