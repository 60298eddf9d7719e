// A duplicator tower: 32 drives with every kind of ending (tests/cli/tower-32.json), as --all,
// --update with several drives and --check --all see them, and the status line that several
// drives draw on a terminal.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/cli/CliRig.h"
#include "tests/cli/TerminalScreen.h"

namespace flashtool::testing {
namespace {

using ::testing::HasSubstr;

// The tower's drives by what they come to (the file's description says the same).
constexpr size_t kTowerDrives = 32;
constexpr size_t kUpToDate[] = {3, 29};
constexpr size_t kDiscInTray = 11;
constexpr size_t kNewer = 18;
constexpr size_t kFailed[] = {14, 25};
constexpr size_t kOtherModels[] = {7, 21};
const std::string kTowerSummary =
    "24 updated, 2 up to date, 2 refused, 2 failed, 2 not this build's model";

std::vector<std::shared_ptr<VirtualDrive>> Tower(FakeClock& clock) {
    return ScenarioDrives(std::string(FLASHTOOL_CLI_TEST_DIR) + "/tower-32.json", clock);
}

bool In(std::span<const size_t> rows, size_t row) {
    return std::find(rows.begin(), rows.end(), row) != rows.end();
}

size_t Pages(const VirtualDrive& drive) {
    size_t pages = 0;
    for (const TraceEntry& entry : drive.Trace()) {
        pages += entry.cdb[0] == 0xFA ? 1 : 0;
    }
    return pages;
}

// Every drive is reached and ends as it must; the summary counts them and the exit status is
// the worst ending's (a failed transfer outranks the refusals and the drives up to date).
TEST(Tower, EveryDriveOfThirtyTwoEndsAsItMustAndTheWorstDecides) {
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json ? "json" : "text");
        FakeClock driveClock;
        CliRig rig(Tower(driveClock));
        std::vector<std::string> words = {"--all", "--yes"};
        if (json) {
            words.push_back("--json");
        }
        EXPECT_EQ(rig.Run(words), 15);
        ASSERT_EQ(rig.drives.size(), kTowerDrives);
        for (size_t n = 0; n < kTowerDrives; ++n) {
            const VirtualDrive& drive = *rig.drives[n];
            ASSERT_FALSE(drive.Trace().empty()) << n;
            if (In(kOtherModels, n)) {
                EXPECT_EQ(drive.Trace().size(), 1u) << n;  // the survey's INQUIRY alone
            } else if (In(kUpToDate, n) || n == kDiscInTray || n == kNewer) {
                EXPECT_EQ(CountDriveChanges(drive.Trace()), 0u) << n;
            } else if (In(kFailed, n)) {
                EXPECT_EQ(drive.Revision(), "1.0d") << n;
            } else {
                EXPECT_EQ(drive.Revision(), "1.0e") << n;
                EXPECT_EQ(Pages(drive), 128u) << n;  // written once, whole
            }
        }
        if (json) {
            const nlohmann::json document = nlohmann::json::parse(rig.out.Text());
            EXPECT_EQ(document.at("summary"), kTowerSummary);
            EXPECT_EQ(document.at("exitStatus"), 15);
            EXPECT_EQ(document.at("drives").size(), kTowerDrives - 2);
            EXPECT_EQ(document.at("drives").at(kDiscInTray - 1).at("result"), "DiscPresent");
        } else {
            const std::string text = rig.out.Text();
            EXPECT_TRUE(text.ends_with("\n" + kTowerSummary + "\n"))
                << text.substr(text.size() - 300);
            for (size_t n = 0; n < kTowerDrives; ++n) {
                EXPECT_THAT(text, HasSubstr("\ndrive " + std::to_string(n) + ": ")) << n;
            }
            EXPECT_THAT(text, HasSubstr("\ndrive 7: not this build's model; left alone.\n"));
        }
    }
}

// --update with several drives runs them as --all does, each drive once however it is
// named; a drive named that is of another model is refused by its checks, as alone.
TEST(Tower, UpdateTakesSeveralDrivesEachOnce) {
    struct Case {
        std::vector<std::string> words;
        int status;
        std::string summary;
        std::vector<size_t> run;
    };
    const std::vector<Case> cases = {
        {{"--update", "0", "5", "0", "--yes", "25"}, 15, "2 updated, 1 failed", {0, 5, 25}},
        {{"--update", "--yes", "--", "1", "7"}, 17, "1 updated, 1 refused", {1, 7}},
        {{"--update", "2", "02", "--yes"}, 0, "1 updated", {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words[1] + " " + c.words[2]);
        FakeClock driveClock;
        CliRig rig(Tower(driveClock));
        EXPECT_EQ(rig.Run(c.words), c.status);
        EXPECT_TRUE(rig.out.Text().ends_with("\n" + c.summary + "\n")) << rig.out.Text();
        for (size_t n = 0; n < kTowerDrives; ++n) {
            const std::vector<TraceEntry> trace = rig.drives[n]->Trace();
            if (!In(c.run, n)) {
                EXPECT_EQ(trace.size(), 1u) << n;  // the scan's INQUIRY alone
            }
        }
        EXPECT_EQ(Pages(*rig.drives[c.run.front()]), 128u);
    }
    // A drive that is not there is said before anything is asked or sent.
    FakeClock driveClock;
    CliRig rig(Tower(driveClock));
    EXPECT_EQ(rig.Run({"--update", "0", "40", "--yes"}), 1);
    EXPECT_THAT(rig.err.Text(), HasSubstr("flashtool: no drive '40' (--list shows the drives)"));
    EXPECT_EQ(rig.drives[0]->Trace().size(), 1u);
}

// --check --all counts as --all does: a drive of another model is left alone and counted as
// such, not refused, and the exit status is the one --all would rank first.
TEST(Tower, CheckAllCountsTheDrivesAsAllDoes) {
    FakeClock clock8;
    CliRig checked(Shipped("eight-drives.json", clock8));
    EXPECT_EQ(checked.Run({"--check", "--all"}), 0);
    EXPECT_TRUE(checked.out.Text().ends_with("\n1 can update, 7 not this build's model\n"))
        << checked.out.Text();
    FakeClock clockAll;
    CliRig all(Shipped("eight-drives.json", clockAll));
    EXPECT_EQ(all.Run({"--all", "--yes"}), 0);
    EXPECT_TRUE(all.out.Text().ends_with("\n1 updated, 7 not this build's model\n"))
        << all.out.Text();

    FakeClock driveClock;
    CliRig tower(Tower(driveClock));
    EXPECT_EQ(tower.Run({"--check", "--all"}), 19);
    EXPECT_TRUE(tower.out.Text().ends_with(
        "\n26 can update, 2 up to date, 2 refused, 2 not this build's model\n"))
        << tower.out.Text();
    for (const auto& drive : tower.drives) {
        EXPECT_EQ(CountDriveChanges(drive->Trace()), 0u);
    }
}

// Several drives on a terminal share one status line that never outgrows the terminal (a
// line that wraps cannot be taken back, and each drawing would leave a row behind), that no
// other line runs into, and that is gone at the end.
TEST(Tower, TheStatusLineFitsTheTerminalAndLeavesNothingBehind) {
    for (const size_t columns : {size_t{80}, size_t{40}}) {
        SCOPED_TRACE(columns);
        FakeClock driveClock;
        CliRig rig(Tower(driveClock));
        rig.terminal.draws = true;
        rig.terminal.columns = static_cast<unsigned>(columns);
        EXPECT_EQ(rig.Run({"--all", "--yes"}), 15);
        const Rendering screen = Render(rig.out.Text(), columns);
        EXPECT_TRUE(screen.unknown.empty());
        EXPECT_FALSE(StatusIn(screen.drawn).empty()) << "no status line was drawn";
        const auto wide = NotNarrowerThan(screen.drawn, columns);
        EXPECT_TRUE(wide.empty()) << wide.size() << " too wide, as " << wide.front();
        const auto stale = StatusIn(screen.rows);
        EXPECT_TRUE(stale.empty()) << stale.size() << " left behind, as " << stale.front();
        EXPECT_EQ(screen.rows.back(), "");
        if (columns > kTowerSummary.size()) {
            EXPECT_EQ(screen.rows[screen.rows.size() - 2], kTowerSummary);
        }
    }
}

}  // namespace
}  // namespace flashtool::testing
