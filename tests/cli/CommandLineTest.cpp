// The command line over virtual drives and the fake clock, as the operator and the drives
// see it: the list, --update against the window's own path, each refusal's exit status,
// questions with nobody to answer them, and --all.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <nlohmann/json.hpp>

#include "emulator/DemoDrives.h"
#include "history/PendingRuns.h"
#include "tests/cli/CliRig.h"
#include "tests/history/HistoryFixtures.h"

namespace flashtool::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// How many lines of `text` are exactly `line`.
size_t CountLines(const std::string& text, const std::string& line) {
    size_t count = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        count += text.compare(at, end - at, line) == 0 ? 1 : 0;
        at = end + 1;
    }
    return count;
}

std::vector<std::string> Lines(const std::vector<TraceEntry>& trace, size_t index) {
    std::vector<std::string> lines;
    for (const TraceEntry& entry : trace) {
        lines.push_back(FormatTraceLine(index, entry));
    }
    return lines;
}

TEST(CommandLineList, TheDemoDrivesWithTheGreyingRuleInWords) {
    CliRig rig(MakeDemoDrives());
    EXPECT_EQ(rig.Run({"--list"}), 0);
    const std::string text = rig.out.Text();
    EXPECT_THAT(text,
                HasSubstr("0  \"ORIN    DVD RW QV-5500A \"  1.0d  -  can update: 1.0d -> 1.0e\n"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n') - rig.TraceLines().size(), 3u);
    EXPECT_THAT(text, HasSubstr("  -  cannot update: it is not this build's model "
                                "(\"ORIN    DVD RW QV-5500A \")\n"));
}

TEST(CommandLineList, ADriveThatCouldNotBeOpenedMakesTheListAnEnvironmentError) {
    CliRig rig(MakeDemoDrives());
    rig.refuseSome = true;
    EXPECT_EQ(rig.Run({"--list"}), 1);
    // What could be listed still is, and standard error says what is missing.
    EXPECT_THAT(rig.out.Text(),
                HasSubstr("0  \"ORIN    DVD RW QV-5500A \"  1.0d  -  can update: 1.0d -> 1.0e\n"));
    EXPECT_THAT(rig.err.Text(), HasSubstr("/dev/sg9: this program was not allowed to open"));
}

TEST(CommandLineList, ADriveThatDoesNotAnswerTheIdentificationIsNamedAndTheListFails) {
    struct Case {
        std::string name;
        Fault fault;
        std::string reason;
    };
    const uint8_t inquiry = 0x12;
    const std::vector<Case> cases = {
        {"check condition",
         {inquiry, {}, 1, FaultKind::CheckCondition, sense::kInvalidField},
         "it ended with CHECK CONDITION, sense 05/24/00"},
        {"adapter failure",
         {inquiry, {}, 1, FaultKind::TransportFailure},
         "the host adapter or its driver failed it"},
        {"time-out", {inquiry, {}, 1, FaultKind::TimeOut}, "it timed out"},
        {"busy", {inquiry, {}, 1, FaultKind::Busy}, "it ended with SCSI status 08h"},
        {"gone during the scan",
         {inquiry, {}, 1, FaultKind::Vanish},
         "the system refused to pass it on: No such device (error 19)"},
    };
    for (const Case& c : cases) {
        for (const bool json : {false, true}) {
            CliRig rig(MakeDemoDrives());
            rig.drives[1]->AddFault(c.fault);
            std::vector<std::string> words{"--list"};
            if (json) {
                words.emplace_back("--json");
            }
            EXPECT_EQ(rig.Run(words), 1) << c.name << json;
            // The drives that answered are listed as ever; the silent one is named on
            // standard error with what its INQUIRY got.
            EXPECT_THAT(rig.out.Text(), HasSubstr("KESTREL DVD-ROM KD-1650 ")) << c.name << json;
            EXPECT_THAT(rig.out.Text(), Not(HasSubstr("QV-5520A"))) << c.name << json;
            EXPECT_THAT(rig.err.Text(),
                        HasSubstr("flashtool: drive 1 of the scan: not listed: it did not answer "
                                  "the identification (INQUIRY): " +
                                  c.reason + "\n"))
                << c.name << json;
        }
    }
}

TEST(CommandLineList, TheShippedScenarioWithADriveThatDoesNotAnswer) {
    FakeClock driveClock;
    CliRig rig(Shipped("unidentified-drive.json", driveClock));
    EXPECT_EQ(rig.Run({"--list"}), 1);
    EXPECT_THAT(rig.out.Text(),
                HasSubstr("0  \"ORIN    DVD RW QV-5500A \"  1.0d  -  can update: 1.0d -> 1.0e\n"));
    EXPECT_THAT(rig.err.Text(), HasSubstr("flashtool: drive 1 of the scan: not listed: "));
    EXPECT_EQ(rig.TraceLines().size(), 2u);  // each drive was asked once
    // The document says the list is not whole, with the same status.
    FakeClock jsonClock;
    CliRig json(Shipped("unidentified-drive.json", jsonClock));
    EXPECT_EQ(json.Run({"--list", "--json"}), 1);
    EXPECT_THAT(
        json.out.Text(),
        HasSubstr("\"summary\": \"1 can update\", \"exitStatus\": 1, \"error\": "
                  "\"the list is incomplete: 1 drive(s) did not answer the identification\"}"));
}

// No drive at all is an honest, empty list, with what to check on standard error.
TEST(CommandLineList, NoDriveIsAnEmptyListAndSaysWhatToCheck) {
    CliRig rig(MakeDrives({}));
    EXPECT_EQ(rig.Run({"--list", "--json"}), 0);
    EXPECT_THAT(rig.out.Text(), HasSubstr("\"drives\": [],\n\"summary\": \"no drive\""));
    EXPECT_THAT(rig.err.Text(), HasSubstr("No Device found!\nflashtool: no drive found. The "
                                          "virtual drives' scenario has no drive"));
}

// Every action says that no drive was found, and what to check, on standard error alone.
TEST(CommandLineList, NoDriveIsSaidOnStandardErrorByEveryAction) {
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--list"}, {"--check"}, {"--check", "0"}, {"--update", "0"},
          {"--update", "0", "1", "--yes"}, {"--all", "--yes"}}) {
        SCOPED_TRACE(words.front() + " " + (words.size() > 1 ? words[1] : ""));
        CliRig rig(MakeDrives({}));
        rig.terminal.interactive = true;
        rig.terminal.typed = {"y", "y"};
        EXPECT_EQ(rig.Run(words), words.front() == "--list" ? 0 : 1);
        EXPECT_THAT(rig.err.Text(), HasSubstr("No Device found!\nflashtool: no drive found. "));
        EXPECT_THAT(rig.out.Text(), Not(HasSubstr("No Device found!")));
    }
}

// The list says what an update would do to each drive the build may update, by revision.
TEST(CommandLineList, EachDriveSaysWhatThisBuildWouldDo) {
    CliRig rig(MakeDrives({TargetAt("1.0d"), TargetAt("1.0e"), TargetAt("1.0f")}));
    EXPECT_EQ(rig.Run({"--list"}), 0);
    const std::string text = rig.out.Text();
    EXPECT_THAT(text, HasSubstr("1.0d  -  can update: 1.0d -> 1.0e\n"));
    EXPECT_THAT(text, HasSubstr("1.0e  -  up to date (1.0e)\n"));
    EXPECT_THAT(text, HasSubstr("1.0f  -  has a newer revision than this build's 1.0e"));
    CliRig json(MakeDrives({TargetAt("1.0d"), TargetAt("1.0e"), TargetAt("1.0f")}));
    EXPECT_EQ(json.Run({"--list", "--json"}), 0);
    EXPECT_THAT(json.out.Text(), HasSubstr("\"state\": \"upToDate\", \"installs\": \"1.0e\""));
    EXPECT_THAT(json.out.Text(), HasSubstr("\"summary\": \"1 can update, 1 up to date, 1 newer\""));
}

TEST(CommandLineList, EightDrivesAsJsonWithOnlyTheTargetUpdatable) {
    FakeClock driveClock;
    CliRig rig(Shipped("eight-drives.json", driveClock));
    EXPECT_EQ(rig.Run({"--list", "--json"}), 0);
    const std::string text = rig.out.Text();
    // One document: the build, the drives, what they come to, and no error.
    EXPECT_TRUE(text.starts_with(
        "{\"action\": \"list\", \"build\": {\"model\": \"ORIN    DVD RW QV-5500A \", "
        "\"revision\": \"1.0e\"},\n\"drives\": [\n"
        "  {\"row\": 0, \"identification\": \"ORIN    DVD RW QV-5500A \", "
        "\"revision\": \"1.0d\", \"nodes\": [], \"updatable\": true, "
        "\"reason\": null, \"state\": \"canUpdate\", \"installs\": \"1.0e\"},\n"))
        << text;
    EXPECT_THAT(text, HasSubstr("{\"row\": 7, \"identification\": \"WREN    DVD-ROM W-160   \", "
                                "\"revision\": \"B001\", \"nodes\": [], \"updatable\": false, "));
    EXPECT_TRUE(
        text.ends_with("\n],\n\"summary\": \"1 can update, 7 cannot update\", "
                       "\"exitStatus\": 0, \"error\": null}\n"))
        << text;
    // Standard output is JSON alone: the scan's trace went to standard error.
    EXPECT_THAT(rig.err.Text(), HasSubstr("vdrive 7: 12 "));
}

TEST(CommandLineUpdate, UpdateZeroYesSendsExactlyTheWindowsTrace) {
    // The window's path: start-up, the notice accepted, the target selected, Upgrade,
    // every box OK but the restart question.
    DialogHarness window(ThisBuildRegion(), MakeDemoDrives());
    window.window.answers = {BoxAnswer::Ok};
    ASSERT_TRUE(window.dialog->OnInitDialog());
    window.dialog->WaitForRun();  // the scan runs on the dialog's worker
    window.window.SelectDrive(0);
    window.dialog->OnSelectionChanged();
    window.Upgrade({BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel});
    ASSERT_EQ(window.Drive().Revision(), "1.0e");

    CliRig rig(MakeDemoDrives());
    EXPECT_EQ(rig.Run({"--update", "0", "--yes"}), 0);
    EXPECT_EQ(rig.drives[0]->Revision(), "1.0e");
    for (size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(Lines(rig.drives[n]->Trace(), n), Lines(window.drives[n]->Trace(), n)) << n;
    }
    std::vector<std::string> windowLines;
    for (const std::string& line : Lines(window.Drive().Trace(), 0)) {
        windowLines.push_back(line.substr(0, line.size() - 1));
    }
    std::vector<std::string> printed = rig.TraceLines();
    printed.erase(std::remove_if(printed.begin(), printed.end(),
                                 [](const std::string& l) { return !l.starts_with("vdrive 0"); }),
                  printed.end());
    EXPECT_EQ(printed, windowLines);
    EXPECT_THAT(rig.out.Text(), HasSubstr("======== SUCCEED ========\n"));
    EXPECT_THAT(rig.out.Text(), HasSubstr(std::string(kRestartNeeded) + "\n"));
    EXPECT_EQ(rig.restart.requests, 0);
}

struct ExitCase {
    std::string name;
    std::vector<VirtualDriveSetup> setups;
    std::vector<std::string> words;
    int status;
    std::string logLine;           // printed once: the window's box that repeats it is not printed
    bool changed;                  // a command that changes the drive reached it
    std::optional<Fault> fault{};  // on the first drive
    std::string box{};             // the box's own words where they differ from logLine
};

TEST(CommandLineUpdate, EachEndGivesItsExitStatusAndLog) {
    VirtualDriveSetup disc = TargetAt("1.0d");
    disc.discPresent = true;
    const VirtualDriveSetup other{"KESTREL DVD-ROM KD-1650 ", "0113", "", false};
    const std::vector<ExitCase> cases = {
        {"updated",
         {TargetAt("1.0d")},
         {"--update", "0", "--yes"},
         0,
         "======== SUCCEED ========",
         true},
        {"no terminal, no --yes",
         {TargetAt("1.0d")},
         {"--update", "0"},
         12,
         "User cancelled.",
         false},
        {"up to date",
         {TargetAt("1.0e")},
         {"--update", "0", "--yes"},
         3,
         "drive 0: up to date (firmware 1.0e), nothing to do; --allow-reinstall installs it again.",
         false},
        {"up to date, reinstalled",
         {TargetAt("1.0e")},
         {"--update", "0", "--yes", "--allow-reinstall"},
         0,
         "The drive already has this firmware revision: it is installed again "
         "(--allow-reinstall).",
         true},
        {"newer, not allowed older",
         {TargetAt("1.0f")},
         {"--update", "0", "--yes", "--allow-reinstall"},
         18,
         "drive 0: its firmware 1.0f is newer than this build's 1.0e: not installed "
         "(--allow-older installs the older one).",
         false},
        {"newer, allowed older",
         {TargetAt("1.0f")},
         {"--update", "0", "--yes", "--allow-older"},
         0,
         "drive 0: updated from 1.0f to 1.0e (verified).",
         true},
        {"disc in the tray",
         {disc},
         {"--update", "0", "--yes"},
         19,
         "The update cannot proceed because there is a disc in the selected drive. Remove the disc "
         "and retry the operation.",
         false},
        {"another model",
         {other},
         {"--update", "0", "--yes"},
         17,
         "The drive is not allowed to be updated.",
         false},
        {"the handshake fails",
         {TargetAt("1.0d")},
         {"--update", "0", "--yes"},
         14,
         "On Command Fail !!",
         false,
         Fault{0xFD, {}, 1, FaultKind::TransportFailure},
         "Command Fail."},
        {"no such row", {TargetAt("1.0d")}, {"--update", "1", "--yes"}, 1, "", false},
        {"a node on a build without nodes",
         {TargetAt("1.0d")},
         {"--update", "/dev/sg0", "--yes"},
         1,
         "",
         false},
    };
    for (const ExitCase& c : cases) {
        CliRig rig(MakeDrives(c.setups));
        if (c.fault) {
            rig.drives[0]->AddFault(*c.fault);
        }
        EXPECT_EQ(rig.Run(c.words), c.status) << c.name;
        if (!c.logLine.empty()) {
            EXPECT_EQ(CountLines(rig.out.Text(), c.logLine), 1u) << c.name << "\n"
                                                                 << rig.out.Text();
        }
        if (!c.box.empty()) {
            EXPECT_EQ(CountLines(rig.out.Text(), c.box), 0u) << c.name;
        }
        EXPECT_EQ(CountDriveChanges(rig.drives[0]->Trace()) > 0, c.changed) << c.name;
    }
}

TEST(CommandLineUpdate, ShippedFailureScenariosEndWithTheirStatus) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"disc-in-tray.json", 19},
        {"refuses-image-at-end.json", 15},
        {"vanishes-mid-transfer.json", 15},
    };
    for (const auto& [file, status] : cases) {
        FakeClock driveClock;
        CliRig rig(Shipped(file, driveClock));
        EXPECT_EQ(rig.Run({"--update", "0", "--yes"}), status) << file;
        EXPECT_THAT(rig.out.Text(), Not(HasSubstr("SUCCEED"))) << file;
    }
}

TEST(CommandLineUpdate, QuestionsAreAskedOnTheTerminalAndOnlyYesGoesOn) {
    CliRig declined(MakeDemoDrives());
    declined.terminal.interactive = true;
    declined.terminal.typed = {"y", "n"};  // the notice, then the confirmation
    EXPECT_EQ(declined.Run({"--update", "0"}), 12);
    EXPECT_THAT(declined.out.Text(), HasSubstr("Do you really want to upgrade ? [y/N]\n"));
    EXPECT_EQ(CountDriveChanges(declined.drives[0]->Trace()), 0u);

    CliRig accepted(MakeDemoDrives());
    accepted.terminal.interactive = true;
    accepted.terminal.typed = {"yes", "Y"};
    EXPECT_EQ(accepted.Run({"--update", "0", "--restart"}), 0);
    EXPECT_EQ(accepted.restart.requests, 1);

    // The end of input is no answer: Cancel. The drive was found before the question (a
    // drive that is not there is said before anything is asked): its identification alone
    // was read.
    CliRig ended(MakeDemoDrives());
    ended.terminal.interactive = true;
    EXPECT_EQ(ended.Run({"--update", "0"}), 12);
    ASSERT_EQ(ended.drives[0]->Trace().size(), 1u);
    EXPECT_EQ(ended.drives[0]->Trace()[0].cdb[0], 0x12);
    CliRig missing(MakeDemoDrives());
    missing.terminal.interactive = true;
    EXPECT_EQ(missing.Run({"--update", "5"}), 1);
    EXPECT_THAT(missing.err.Text(), HasSubstr("flashtool: no drive '5' (--list shows the drives)"));
    EXPECT_TRUE(missing.terminal.shown.empty());
    EXPECT_THAT(missing.out.Text(), Not(HasSubstr("[y/N]")));
}

TEST(CommandLineUpdate, WithOutputInAFileQuestionsAreAskedOnTheTerminalAndRecorded) {
    struct Case {
        std::string name;
        std::deque<std::string> typed;
        int status;
        std::vector<std::string> recorded;  // lines of the output
    };
    const std::string notice = "Do you wish to continue ? [y/N]";
    const std::string confirm = "Do you really want to upgrade ? [y/N]";
    const std::vector<Case> cases = {
        {"declined", {"y", "n"}, 12, {notice + " yes", confirm + " no"}},
        {"accepted", {"yes", "Y"}, 0, {notice + " yes", confirm + " yes"}},
        {"input ends", {"y"}, 12, {notice + " yes", confirm + " (end of input: Cancel)"}},
    };
    for (const Case& c : cases) {
        CliRig rig(MakeDemoDrives());
        rig.terminal.interactive = true;
        rig.terminal.outputIsTerminal = false;
        rig.terminal.typed = c.typed;
        EXPECT_EQ(rig.Run({"--update", "0"}), c.status) << c.name;
        // The person answering sees each question whole; the file gets each once, with its
        // answer, and never a question waiting for an answer nobody sees.
        EXPECT_THAT(rig.terminal.shown, HasSubstr("NOTICE :\n")) << c.name;
        EXPECT_THAT(rig.terminal.shown, HasSubstr("\n" + notice + "\n")) << c.name;
        EXPECT_THAT(rig.terminal.shown, HasSubstr("\n" + confirm + "\n")) << c.name;
        for (const std::string& line : c.recorded) {
            EXPECT_EQ(CountLines(rig.out.Text(), line), 1u) << c.name << ": " << line;
        }
        EXPECT_THAT(rig.out.Text(), Not(HasSubstr("[y/N]\n"))) << c.name;
    }
}

TEST(CommandLineAll, WithOutputInAFileEachDrivesQuestionCarriesItsRow) {
    CliRig rig(MakeDrives({TargetAt("1.0d"), TargetAt("1.0d")}));
    rig.terminal.interactive = true;
    rig.terminal.outputIsTerminal = false;
    rig.terminal.typed = {"y", "n", "n"};
    EXPECT_EQ(rig.Run({"--all"}), 12);
    const std::string confirm = "Do you really want to upgrade ? [y/N]";
    EXPECT_THAT(rig.terminal.shown, HasSubstr("[scan] Do you wish to continue ? [y/N]\n"));
    EXPECT_THAT(rig.terminal.shown, HasSubstr("[0] " + confirm + "\n"));
    EXPECT_THAT(rig.terminal.shown, HasSubstr("[1] " + confirm + "\n"));
    EXPECT_EQ(CountLines(rig.out.Text(), "[0] " + confirm + " no"), 1u);
    EXPECT_EQ(CountLines(rig.out.Text(), "[1] " + confirm + " no"), 1u);
}

TEST(CommandLineUpdate, JsonReportsTheDriveAtTheEnd) {
    CliRig rig(MakeDemoDrives());
    EXPECT_EQ(rig.Run({"--update", "0", "--yes", "--json"}), 0);
    const nlohmann::json document = nlohmann::json::parse(rig.out.Text());
    const nlohmann::json& drive = document.at("drives").at(0);
    EXPECT_EQ(drive.at("identification"), "ORIN    DVD RW QV-5500A ");
    EXPECT_EQ(drive.at("revisionBefore"), "1.0d");
    EXPECT_EQ(drive.at("revisionAfter"), "1.0e");
    EXPECT_EQ(drive.at("ending"), "updated");
    EXPECT_EQ(drive.at("verified"), true);
    EXPECT_EQ(drive.at("result"), "Updated");
    EXPECT_EQ(drive.at("log").at(1), "It will be updated from  1.0d  To  1.0e");
    EXPECT_EQ(document.at("build").at("revision"), "1.0e");
}

// Whatever happens, --json prints one JSON value on standard output: the drives, the summary,
// the status, and the error that ended it early.
TEST(CommandLineJson, EveryInvocationPrintsExactlyOneDocument) {
    VirtualDriveSetup disc = TargetAt("1.0d");
    disc.discPresent = true;
    const VirtualDriveSetup other{"KESTREL DVD-ROM KD-1650 ", "0113", "", false};
    struct Case {
        std::vector<std::string> words;
        std::vector<VirtualDriveSetup> setups;
        int status;
        size_t drives;
        std::string summary;
        bool error;
    };
    const std::vector<Case> cases = {
        {{"--update", "0", "--yes", "--json"}, {TargetAt("1.0d")}, 0, 1, "1 updated", false},
        {{"--update", "0", "--json"}, {TargetAt("1.0d")}, 12, 0, "cancelled", false},
        {{"--update", "7", "--yes", "--json"}, {TargetAt("1.0d")}, 1, 0, "not started", true},
        {{"--update", "0", "--yes", "--json"}, {TargetAt("1.0e")}, 3, 1, "1 up to date", false},
        {{"--all", "--yes", "--json"},
         {TargetAt("1.0d"), other, disc},
         19,
         2,
         "1 updated, 1 refused, 1 not this build's model",
         false},
        {{"--update", "0", "2", "--yes", "--json"},
         {TargetAt("1.0d"), other, disc},
         19,
         2,
         "1 updated, 1 refused",
         false},
        {{"--update", "0", "9", "--yes", "--json"}, {TargetAt("1.0d")}, 1, 0, "not started", true},
        {{"--all", "--json"}, {TargetAt("1.0d")}, 12, 0, "cancelled", false},
        {{"--all", "--yes", "--json"}, {other}, 1, 0, "not started", true},
        {{"--update", "0", "--yes", "--json"}, {}, 1, 0, "not started", true},  // no drive at all
        {{"--check", "--json"},
         {TargetAt("1.0d"), other},
         0,
         1,
         "1 can update, 1 not this build's model",
         false},
        {{"--check", "4", "--json"}, {TargetAt("1.0d")}, 1, 0, "not started", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.front() + " " + c.words[1]);
        CliRig rig(MakeDrives(c.setups));
        EXPECT_EQ(rig.Run(c.words), c.status);
        nlohmann::json document;
        ASSERT_NO_THROW(document = nlohmann::json::parse(rig.out.Text())) << rig.out.Text();
        EXPECT_EQ(document.at("exitStatus"), c.status);
        EXPECT_EQ(document.at("drives").size(), c.drives);
        EXPECT_EQ(document.at("summary"), c.summary);
        EXPECT_EQ(document.at("error").is_string(), c.error);
        if (c.setups.empty()) {
            EXPECT_THAT(rig.err.Text(), HasSubstr("scenario has no drive"));
        }
    }
}

TEST(CommandLineAll, EightDrivesAreEachUpdatedWithASingleUpdatesTrace) {
    CliRig single(MakeDrives({TargetAt("1.0d")}));
    ASSERT_EQ(single.Run({"--update", "0", "--yes"}), 0);
    const std::vector<std::string> one = Lines(single.drives[0]->Trace(), 0);

    CliRig rig(MakeDrives(std::vector<VirtualDriveSetup>(8, TargetAt("1.0d"))));
    EXPECT_EQ(rig.Run({"--all", "--yes", "--restart"}), 0);
    for (size_t n = 0; n < 8; ++n) {
        EXPECT_EQ(rig.drives[n]->Revision(), "1.0e") << n;
        // The survey's INQUIRY first; then the drive's own worker does what one update does.
        const std::vector<TraceEntry> trace = rig.drives[n]->Trace();
        ASSERT_FALSE(trace.empty());
        std::vector<std::string> own = Lines({trace.begin() + 1, trace.end()}, 0);
        EXPECT_EQ(own, one) << n;
        // Every line of the drive's worker carries its row, and none is cut.
        const std::string prefix = "[" + std::to_string(n) + "] ";
        EXPECT_EQ(rig.TraceLines(prefix).size(), trace.size() - 1) << n;
        EXPECT_THAT(rig.out.Text(), HasSubstr(prefix + "======== SUCCEED ========\n"));
    }
    // One restart, once every drive is done; the keep-awake lock was held by each run.
    EXPECT_EQ(rig.restart.requests, 1);
    EXPECT_EQ(rig.inhibitor.acquired, 8);
    EXPECT_EQ(rig.inhibitor.held, 0);
}

TEST(CommandLineAll, TheWorstStatusWinsAndGreyDrivesAreLeftAlone) {
    VirtualDriveSetup disc = TargetAt("1.0d");
    disc.discPresent = true;
    CliRig rig(
        MakeDrives({TargetAt("1.0d"), {"KESTREL DVD-ROM KD-1650 ", "0113", "", false}, disc}));
    EXPECT_EQ(rig.Run({"--all", "--yes", "--json"}), 19);
    EXPECT_EQ(rig.drives[1]->Trace().size(), 1u);  // the survey's INQUIRY only
    const nlohmann::json document = nlohmann::json::parse(rig.out.Text());
    ASSERT_EQ(document.at("drives").size(), 2u);
    EXPECT_EQ(document.at("drives").at(0).at("row"), 0);
    EXPECT_EQ(document.at("drives").at(1).at("row"), 2);
    EXPECT_EQ(document.at("drives").at(1).at("resultCode"), 9);
    EXPECT_EQ(document.at("drives").at(1).at("result"), "DiscPresent");
    EXPECT_EQ(rig.restart.requests, 0);
    EXPECT_THAT(rig.err.Text(), HasSubstr(std::string(kRestartNeeded)));
}

// Exit statuses rank by what the drives went through, not by their numbers: a failed transfer
// (15) outranks a disc in the tray (19), which outranks a drive already up to date (3).
TEST(CommandLineAll, TheStatusIsTheWorstEndingAndOneLineSumsThemUp) {
    VirtualDriveSetup disc = TargetAt("1.0d");
    disc.discPresent = true;
    struct Case {
        const char* name;
        std::vector<VirtualDriveSetup> setups;
        bool failLastDrive;
        int status;
        std::string summary;
    };
    const std::vector<Case> cases = {
        {"all four endings",
         {TargetAt("1.0d"), TargetAt("1.0e"), disc, TargetAt("1.0d")},
         true,
         15,
         "1 updated, 1 up to date, 1 refused, 1 failed"},
        {"refusal over up to date", {TargetAt("1.0e"), disc}, false, 19, "1 up to date, 1 refused"},
        {"nothing to do", {TargetAt("1.0e"), TargetAt("1.0e")}, false, 3, "2 up to date"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CliRig rig(MakeDrives(c.setups));
        if (c.failLastDrive) {
            rig.drives.back()->AddFault(Fault{0xFA, std::nullopt, 3, FaultKind::Short, {}, 16});
        }
        EXPECT_EQ(rig.Run({"--all", "--yes"}), c.status);
        EXPECT_TRUE(rig.out.Text().ends_with("\n" + c.summary + "\n")) << rig.out.Text();
        for (size_t n = 0; n < c.setups.size(); ++n) {
            if (c.setups[n].revision == "1.0e") {
                EXPECT_EQ(CountDriveChanges(rig.drives[n]->Trace()), 0u) << n;
            }
        }
    }
}

// A closing command the drive did not confirm is never success, in any form of the answer.
TEST(CommandLineUpdate, AnUnconfirmedEndHasItsOwnStatusAndSaysWhatToDo) {
    CliRig rig(MakeDrives({TargetAt("1.0d")}));
    rig.region[4] = '3';
    ResealRegion(rig.region, kVariantOrin7250);
    rig.drives[0]->AddFault(Fault{0xF2, 0x04, 1, FaultKind::TimeOut, {}});
    EXPECT_EQ(rig.Run({"--update", "0", "--yes", "--json"}), 20);
    const std::string text = rig.out.Text();
    EXPECT_THAT(text, HasSubstr("\"ending\": \"notConfirmed\", \"verified\": false, "
                                "\"resultCode\": null, \"result\": \"NotConfirmed\", "
                                "\"exitStatus\": 20"));
    EXPECT_THAT(text, Not(HasSubstr("SUCCEED")));
    EXPECT_THAT(rig.err.Text(), HasSubstr("drive 0: NOT CONFIRMED: "));
    EXPECT_THAT(rig.err.Text(), Not(HasSubstr(std::string(kRestartNeeded))));
}

// A run the drive did not confirm stays pending in the history; the next start of the
// command line reads the drive's identification and settles it, verified or failed, says
// so, and --history shows the settlement.
TEST(CommandLineHistory, APendingRunIsSettledByTheNextStart) {
    struct Case {
        const char* revisionAtNextStart;
        const char* settled;  // what the next start says
        const char* shown;    // what --history then shows of the run
    };
    const Case cases[] = {
        {"1.0e", "it now reports 1.0e: verified.", "verified: reports 1.0e"},
        {"1.0d", "it still reports 1.0d: the update FAILED; run it again.",
         "failed: still reports 1.0d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.revisionAtNextStart);
        testing::TempFolder folder;
        const HistoryPlace place{folder.path, false};

        CliRig first(MakeDrives({TargetAt("1.0d")}));
        first.history.emplace(place);
        first.region[4] = '3';
        ResealRegion(first.region, kVariantOrin7250);
        first.drives[0]->AddFault(Fault{0xF2, 0x04, 1, FaultKind::TimeOut, {}});
        EXPECT_EQ(first.Run({"--update", "0", "--yes"}), 20);
        // The run's mark went in before its first page, and its record after the run.
        const HistoryContents written = HistoryStore(place).ReadAll();
        ASSERT_EQ(written.records.size(), 2u);
        EXPECT_EQ(written.records[0].kind, HistoryRecordKind::Begun);
        EXPECT_EQ(written.records[1].kind, HistoryRecordKind::Run);

        CliRig look(MakeDrives({}));
        look.history.emplace(place);
        EXPECT_EQ(look.Run({"--history"}), 0);
        EXPECT_THAT(look.out.Text(), HasSubstr("(pending)"));

        // The computer restarted; the drive now reports what it took.
        CliRig next(MakeDrives({TargetAt(c.revisionAtNextStart)}));
        next.history.emplace(place);
        EXPECT_EQ(next.Run({"--list", "--json"}), 0);
        EXPECT_THAT(next.err.Text(), HasSubstr(c.settled));
        EXPECT_TRUE(nlohmann::json::accept(next.out.Text())) << next.out.Text();
        CliRig after(MakeDrives({}));
        after.history.emplace(place);
        EXPECT_EQ(after.Run({"--history"}), 0);
        const std::string history = after.out.Text();
        EXPECT_THAT(history, HasSubstr(c.shown));
        EXPECT_THAT(history, Not(HasSubstr("(pending)")));
    }
}

// Two drives of this model, told apart only by their serial numbers (the emulated drives
// have no node names), updated together with --all: neither confirms the end of its
// transfer. Each keeps its own pending run. At the next start they come in the other order,
// one at the new revision and one at the old: each run is settled against its own drive.
TEST(CommandLineHistory, TwoDrivesOfOneModelKeepTheirOwnRunsAcrossTwoStarts) {
    testing::TempFolder folder;
    const HistoryPlace place{folder.path, false};
    const auto two = [](const char* first, const char* second) {
        std::vector<std::shared_ptr<VirtualDrive>> drives =
            MakeDrives({TargetAt(first), TargetAt(second)});
        drives[0]->SetSerial("QV5A0D4G1203");
        drives[1]->SetSerial("QV5A0D4G1288");
        return drives;
    };
    CliRig first(two("1.0d", "1.0d"));
    first.history.emplace(place);
    first.region[4] = '3';
    ResealRegion(first.region, kVariantOrin7250);
    first.drives[0]->AddFault(Fault{0xF2, 0x04, 1, FaultKind::TimeOut, {}});
    first.drives[1]->AddFault(Fault{0xF2, 0x04, 1, FaultKind::Busy, {}});
    EXPECT_EQ(first.Run({"--all", "--yes"}), 20);

    CliRig look(MakeDrives({}));
    look.history.emplace(place);
    EXPECT_EQ(look.Run({"--history"}), 0);
    const std::string shown = look.out.Text();
    for (const char* serial : {"QV5A0D4G1203", "QV5A0D4G1288"}) {
        EXPECT_THAT(shown,
                    HasSubstr("serial " + std::string(serial) +
                              "  1.0d -> 1.0e  notConfirmed, still reports 1.0d  (pending)"));
    }
    EXPECT_THAT(shown, Not(HasSubstr("never ended")));

    // The computer restarted: the drives are found the other way round, and only the first
    // one took its firmware.
    CliRig next(two("1.0e", "1.0d"));
    std::swap(next.drives[0], next.drives[1]);
    next.history.emplace(place);
    EXPECT_EQ(next.Run({"--list"}), 0);
    // The line that names a serial number, whatever order the runs were recorded in.
    const auto lineOf = [text = next.err.Text()](const std::string& serial) {
        const size_t at = text.find("(serial number " + serial + ")");
        if (at == std::string::npos) {
            return std::string();
        }
        const size_t start =
            text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
        return text.substr(start, text.find('\n', at) - start);
    };
    EXPECT_THAT(lineOf("QV5A0D4G1203"),
                HasSubstr(" from 1.0d to 1.0e: it now reports 1.0e: verified."));
    EXPECT_THAT(lineOf("QV5A0D4G1288"),
                HasSubstr(" from 1.0d to 1.0e: it still reports 1.0d: the update FAILED; run it "
                          "again."));
    const HistoryContents contents = HistoryStore(place).ReadAll();
    ASSERT_EQ(contents.records.size(), 6u);
    EXPECT_TRUE(PendingRuns(contents.records).empty());
}

// --list while another copy writes a drive: the other copy's mark is not a run cut short,
// and nothing is settled until it has ended. Then the history tells the run as it ended.
TEST(CommandLineHistory, AListDuringAnotherCopysRunSettlesNothing) {
    testing::TempFolder folder;
    const HistoryPlace place{folder.path, false};
    CliRig writer(MakeDrives({TargetAt("1.0d")}));
    writer.history.emplace(place);
    CliRig lister({});
    lister.drives = writer.drives;  // the same drive, seen by a second copy
    lister.history.emplace(place);
    int listed = -1;
    writer.inhibitor.onAcquire = [&] { listed = lister.Run({"--list"}); };
    EXPECT_EQ(writer.Run({"--update", "0", "--yes"}), 0);
    EXPECT_EQ(listed, 0);
    EXPECT_THAT(lister.err.Text(),
                HasSubstr("another copy of the program is updating a drive now; the runs still "
                          "pending are settled at a later start."));
    EXPECT_THAT(lister.err.Text(), Not(HasSubstr("FAILED")));

    CliRig after(MakeDrives({}));
    after.history.emplace(place);
    EXPECT_EQ(after.Run({"--history"}), 0);
    EXPECT_THAT(after.out.Text(), HasSubstr("updated, verified: reports 1.0e"));
    EXPECT_THAT(after.out.Text(), Not(HasSubstr("resolved")));
    EXPECT_THAT(after.out.Text(), Not(HasSubstr("(pending)")));
}

// --history --json prints its one document whatever happens, an error included.
TEST(CommandLineHistory, HistoryJsonIsOneDocumentAlsoWithoutAHistory) {
    testing::TempFolder folder;
    CliRig kept(MakeDrives({TargetAt("1.0d")}));
    kept.history.emplace(HistoryPlace{folder.path, false});
    EXPECT_EQ(kept.Run({"--update", "0", "--yes"}), 0);
    CliRig shown(MakeDrives({}));
    shown.history.emplace(HistoryPlace{folder.path, false});
    EXPECT_EQ(shown.Run({"--history", "--json"}), 0);
    const nlohmann::json document = nlohmann::json::parse(shown.out.Text());
    EXPECT_EQ(document["action"], "history");
    ASSERT_EQ(document["records"].size(), 1u);
    EXPECT_EQ(document["records"][0]["ending"], "updated");
    EXPECT_EQ(document["records"][0]["place"], "vdrive 0");
    EXPECT_EQ(document["exitStatus"], 0);
    EXPECT_TRUE(document["error"].is_null());

    CliRig none(MakeDrives({}));
    EXPECT_EQ(none.Run({"--history", "--json"}), 1);
    const nlohmann::json failed = nlohmann::json::parse(none.out.Text());
    EXPECT_EQ(failed["records"].size(), 0u);
    EXPECT_EQ(failed["exitStatus"], 1);
    EXPECT_THAT(failed["error"].get<std::string>(), HasSubstr("no history is kept here"));
}

// What a drive reports reaches the terminal with its control bytes escaped.
TEST(CommandLineList, ADrivesTextsAreShownWithTheirControlBytesEscaped) {
    VirtualDriveSetup crafted = TargetAt("1.0d");
    crafted.identification =
        "ORIN\x1b[2J\x1b]0;x\x07 QV55\x9b"
        "31m ";
    crafted.revision = "1\r\nd";
    CliRig rig(MakeDrives({crafted}));
    EXPECT_EQ(rig.Run({"--list"}), 0);
    EXPECT_THAT(rig.out.Text(),
                HasSubstr("0  \"ORIN\\x1B[2J\\x1B]0;x\\x07 QV55\\x9B31m \"  1\\x0D\\x0Ad  -  "));
    for (const char c : rig.out.Text()) {
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7E)) << static_cast<int>(c);
    }
}

// --check runs an Upgrade press's checks and stops: its status is 0 when an update would
// start, the refusal's otherwise, and no command that changes a drive is ever sent.
TEST(CommandLineCheck, SaysWhatAnUpdateWouldDoAndChangesNothing) {
    VirtualDriveSetup disc = TargetAt("1.0d");
    disc.discPresent = true;
    struct Case {
        const char* name;
        std::vector<VirtualDriveSetup> setups;
        std::vector<std::string> words;
        int status;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"would update",
         {TargetAt("1.0d")},
         {"--check", "0"},
         0,
         "drive 0: 1.0d -> 1.0e: an update would start."},
        {"up to date",
         {TargetAt("1.0e")},
         {"--check", "0"},
         3,
         "drive 0: up to date (firmware 1.0e), nothing to do; --allow-reinstall installs it "
         "again."},
        {"reinstall allowed",
         {TargetAt("1.0e")},
         {"--check", "0", "--allow-reinstall"},
         0,
         "drive 0: 1.0e -> 1.0e: an update would start."},
        {"disc in the tray",
         {disc},
         {"--check", "0"},
         19,
         "drive 0: an update would be refused (DiscPresent); nothing was sent that changes it."},
        {"every drive",
         {TargetAt("1.0d"), TargetAt("1.0e")},
         {"--check"},
         3,
         "1 can update, 1 up to date"},
        {"no such drive", {TargetAt("1.0d")}, {"--check", "4"}, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CliRig rig(MakeDrives(c.setups));
        EXPECT_EQ(rig.Run(c.words), c.status);
        if (!c.line.empty()) {
            EXPECT_THAT(rig.out.Text(), HasSubstr("\n" + c.line + "\n"));
        }
        for (size_t n = 0; n < rig.drives.size(); ++n) {
            EXPECT_EQ(CountDriveChanges(rig.drives[n]->Trace()), 0u);
            EXPECT_EQ(rig.drives[n]->Revision(), c.setups[n].revision);
        }
        EXPECT_EQ(rig.inhibitor.acquired, 0);
    }
}

TEST(CommandLineUpdate, TheStatusLineCountsThePagesTakenOfTheTotal) {
    CliRig rig(MakeDrives({TargetAt("1.0d")}));
    rig.terminal.draws = true;
    EXPECT_EQ(rig.Run({"--update", "0", "--yes"}), 0);
    const std::string text = rig.out.Text();
    EXPECT_THAT(text, HasSubstr("\r\x1b[K[0] 1/128 pages (0%)"));
    EXPECT_THAT(text, HasSubstr("\r\x1b[K[0] 64/128 pages (50%)"));
    EXPECT_THAT(text, HasSubstr("[0] 128/128 pages (100%), settling 5 s"));
    // Every other line clears it first, and nothing is left drawn at the end.
    EXPECT_THAT(text, HasSubstr("\r\x1b[K======== SUCCEED ========\n"));
    EXPECT_TRUE(text.ends_with(".\n")) << text.substr(text.size() - 80);
}

TEST(CommandLineAll, NoTerminalAndNoYesSendsNothing) {
    CliRig rig(MakeDrives({TargetAt("1.0d"), TargetAt("1.0d")}));
    EXPECT_EQ(rig.Run({"--all"}), 12);
    EXPECT_TRUE(rig.drives[0]->Trace().empty());
    EXPECT_TRUE(rig.drives[1]->Trace().empty());
}

}  // namespace
}  // namespace flashtool::testing
