// ReportResult: every code's log lines and message box, and the reset to idle.

#include <gtest/gtest.h>

#include "support/DialogHarness.h"

namespace flashtool::testing {
namespace {

constexpr const char* kUpdateFailedText =
    "Updating incomplete or interrupted! \n\nPlease retry after rebooting your computer and "
    "ensure the drive is\nproperly installed and detected by the operating system.\nAlso remove "
    "any media from the drive.\n\nIt is highly recommended to terminate all applications before "
    "updating.\n\nIf the problem persists, please contact product support.";
constexpr const char* kDisc =
    "The update cannot proceed because there is a disc in the selected drive. Remove the disc "
    "and retry the operation.";

struct ReportCase {
    const char* name;
    int code;
    std::vector<std::string> logBefore;
    std::optional<MessageBoxRequest> box;
    std::vector<std::string> logAfter;
};

MessageBoxRequest Warning(const std::string& text) {
    return {text, "Warning", BoxButtons::Ok, BoxIcon::Exclamation};
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "\r\n" + line;
    }
    return text;
}

class ReportResultCodes : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportResultCodes, LogsShowsTheBoxAndResetsTheWindow) {
    const ReportCase& c = GetParam();
    DialogHarness rig;
    rig.dialog->PrepareProgress();
    rig.dialog->SetProgressPos(57);
    rig.dialog->StartProgressTimer();
    rig.dialog->EnableButtons(false);
    rig.window.log = "before";

    rig.dialog->ReportResult(static_cast<ResultCode>(c.code));

    EXPECT_EQ(rig.window.progress, 0);
    EXPECT_FALSE(rig.window.timerRunning);
    EXPECT_TRUE(rig.window.enabled[DialogButton::Upgrade]);
    EXPECT_TRUE(rig.window.enabled[DialogButton::Exit]);
    if (!c.box) {
        EXPECT_TRUE(rig.window.boxes.empty());
        EXPECT_EQ(rig.window.Log(), "before");
        return;
    }
    ASSERT_EQ(rig.window.boxes.size(), 1u);
    EXPECT_EQ(rig.window.boxes[0].request, *c.box);
    EXPECT_EQ(rig.window.boxes[0].logWhenShown, "before" + Lines(c.logBefore));
    EXPECT_EQ(rig.window.Log(), "before" + Lines(c.logBefore) + Lines(c.logAfter));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ReportResultCodes,
    ::testing::Values(
        ReportCase{
            "UserCancelled",
            2,
            {"User cancelled."},
            MessageBoxRequest{"User cancelled.", std::nullopt, BoxButtons::Ok, BoxIcon::None},
            {}},
        ReportCase{"ChecksumMismatch",
                   3,
                   {"Check Sum not match !!"},
                   Warning("CheckSum not match !!"),
                   {}},
        ReportCase{"CommandFailed", 4, {"On Command Fail !!"}, Warning("Command Fail."), {}},
        ReportCase{
            "UpdateFailed", 5, {" ", "======== FAIL ========"}, Warning(kUpdateFailedText), {" "}},
        ReportCase{"NotAllowed",
                   6,
                   {"The drive is not allowed to be updated."},
                   Warning("The drive is not allowed to be updated."),
                   {}},
        ReportCase{"CheckFailed",
                   7,
                   {"The drive is not allowed to be updated."},
                   Warning("The drive is not allowed to be updated."),
                   {}},
        ReportCase{"DowngradeRefused",
                   8,
                   {"UPGRADE Only! Can't downgrade this drive."},
                   Warning("UPGRADE Only! Can't downgrade this drive."),
                   {}},
        ReportCase{"DiscPresent", 9, {kDisc}, Warning(kDisc), {}},
        ReportCase{"Zero", 0, {}, std::nullopt, {}}, ReportCase{"One", 1, {}, std::nullopt, {}},
        ReportCase{"Ten", 10, {}, std::nullopt, {}},
        ReportCase{"Negative", -1, {}, std::nullopt, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace flashtool::testing
