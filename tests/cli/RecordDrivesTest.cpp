// --record over virtual drives: each shipped scenario's drives recorded through the
// emulated back-end and replayed give the same tree and the same wire trace of an Upgrade
// press's checks (confirmation answered Cancel), and, where no fault hides in a command that
// changes the drive, the same whole upgrade. Also what a recording makes of a drive that
// settles, hangs or fails a record read, and how FILE is treated.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/cli/RecordDrives.h"
#include "emulator/Scenario.h"
#include "support/DialogHarness.h"
#include "support/NoTerminal.h"
#include "support/WildcardBuild.h"

namespace flashtool::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string ShippedPath(const std::string& name) {
    return std::string(FLASHTOOL_SCENARIO_DIR) + "/" + name;
}

std::vector<DriveDescription> Described(const std::string& path) {
    const ScenarioReading reading = LoadScenarioFile(path);
    EXPECT_TRUE(reading.Ok()) << reading.error;
    return reading.drives;
}

// A private folder for the files a test writes.
struct Folder {
    Folder() {
        path = std::filesystem::temp_directory_path() /
               ("flashtool-record-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string File(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};

// RecordDrives over virtual drives, without a main(), for this build or another.
struct RecordRig {
    explicit RecordRig(std::vector<DriveDescription> described,
                       std::vector<uint8_t> buildRegion = ThisBuildRegion())
        : drives(BuildDrives(described, &driveClock)), region(std::move(buildRegion)) {}

    int Record(const std::string& file, std::optional<std::string> drive = std::nullopt) {
        CliEnvironment environment{[this](DiagnosticSink& trace) {
                                       return std::make_unique<EmulatedBackend>(drives, trace);
                                   },
                                   region,
                                   restart,
                                   inhibitor,
                                   *environmentClock,
                                   out,
                                   err,
                                   terminal,
                                   "flashtool",
                                   nullptr,
                                   "0.1"};
        return RecordDrives(file, std::move(drive), environment);
    }

    FakeClock driveClock;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    std::vector<uint8_t> region;
    CapturedDiagnostics out, err;
    FakeClock clock;
    Clock* environmentClock = &clock;
    FakeRestart restart;
    FakeInhibitor inhibitor;
    NoTerminal terminal;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// What one Upgrade press on `row` shows and sends, over fresh drives of a description.
struct Press {
    std::vector<std::string> tree;
    std::vector<bool> greyed;
    std::vector<std::string> trace;
    std::vector<std::string> log;
    std::string revisionAfter;
    VendorState records;
};

Press PressUpgrade(const std::vector<uint8_t>& region,
                   const std::vector<DriveDescription>& described, size_t row,
                   std::vector<BoxAnswer> answers) {
    FakeClock driveClock;
    DialogHarness rig(region, BuildDrives(described, &driveClock));
    rig.StartAndSelect(static_cast<int>(row));
    Press press;
    for (const DriveItem& item : rig.window.drives) {
        press.tree.push_back(item.text);
        press.greyed.push_back(item.greyed);
    }
    rig.diagnostics.Clear();
    rig.Upgrade(std::move(answers));
    press.trace = Lines(rig.diagnostics.Text());
    press.log = rig.LogLines();
    press.revisionAfter = rig.Drive(row).Revision();
    press.records = rig.Drive(row).Vendor();
    return press;
}

// Faults of commands that change a drive: no read reveals them, so a recording cannot
// carry them, and the whole upgrade of such a drive is compared up to its checks only.
bool HidesWriteFaults(const DriveDescription& drive) {
    return std::any_of(drive.faults.begin(), drive.faults.end(), [](const Fault& fault) {
        return !fault.opcode || (*fault.opcode != 0x12 && *fault.opcode != 0x00 &&
                                 *fault.opcode != 0x5A && *fault.opcode != 0xF5);
    });
}

TEST(RecordDrivesTest, EveryShippedScenarioReplaysItsTreeChecksAndUpgrades) {
    const std::vector<std::vector<uint8_t>> builds = {ThisBuildRegion(), WildcardKm3100Region()};
    size_t files = 0;
    size_t wholeUpgrades = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FLASHTOOL_SCENARIO_DIR)) {
        if (entry.path().extension() != ".json") {
            continue;
        }
        ++files;
        const std::string name = entry.path().filename().string();
        const std::vector<DriveDescription> original = Described(entry.path().string());
        // A drive that never answers the scan's identification is in no list, so there is
        // nothing of it to record.
        std::vector<DriveDescription> listed;
        std::copy_if(original.begin(), original.end(), std::back_inserter(listed),
                     [](const DriveDescription& drive) {
                         return std::none_of(
                             drive.faults.begin(), drive.faults.end(), [](const Fault& fault) {
                                 return fault.opcode == 0x12 && fault.occurrence <= 1;
                             });
                     });
        const size_t rows = std::min<size_t>(listed.size(), 8);

        // A recording holds what the build that made it reads: the maker's commands go only
        // to the drives that build sends them to.
        for (size_t build = 0; build < builds.size(); ++build) {
            Folder folder;
            RecordRig rig(original, builds[build]);
            ASSERT_EQ(rig.Record(folder.File("recorded.json")), 0) << name << rig.err.Text();
            const std::vector<DriveDescription> replayed = Described(folder.File("recorded.json"));
            ASSERT_EQ(replayed.size(), rows) << name;
            for (size_t row = 0; row < rows; ++row) {
                const std::string where =
                    name + " drive " + std::to_string(row) + " build " + std::to_string(build);
                const auto& region = builds[build];
                const Press before = PressUpgrade(region, original, row, {BoxAnswer::Cancel});
                const Press after = PressUpgrade(region, replayed, row, {BoxAnswer::Cancel});
                EXPECT_EQ(after.tree, before.tree) << where;
                EXPECT_EQ(after.greyed, before.greyed) << where;
                EXPECT_EQ(after.trace, before.trace) << where;
                EXPECT_EQ(after.log, before.log) << where;
                if (HidesWriteFaults(listed[row])) {
                    continue;
                }
                const Press whole = PressUpgrade(region, original, row, {});
                const Press again = PressUpgrade(region, replayed, row, {});
                EXPECT_EQ(again.trace, whole.trace) << where;
                EXPECT_EQ(again.log, whole.log) << where;
                EXPECT_EQ(again.revisionAfter, whole.revisionAfter) << where;
                EXPECT_EQ(again.records.recordAt02, whole.records.recordAt02) << where;
                EXPECT_EQ(again.records.recordAt24, whole.records.recordAt24) << where;
                wholeUpgrades += whole.revisionAfter == "1.0e" ? 1 : 0;
            }
        }
    }
    EXPECT_GE(files, 7u);
    EXPECT_GE(wholeUpgrades, 2u);  // the demo's and the eight drives' targets at least
}

TEST(RecordDrivesTest, TheRecordingSendsOnlyReadsAndSaysWhatItRead) {
    Folder folder;
    RecordRig rig(Described(ShippedPath("demo.json")));
    ASSERT_EQ(rig.Record(folder.File("demo.json"), "0"), 0) << rig.err.Text();
    const auto& trace = rig.drives[0]->Trace();
    std::vector<std::string> sent;
    for (const TraceEntry& entry : trace) {
        const std::string line = FormatTraceLine(0, entry);
        sent.push_back(line.substr(0, line.find(" crc32=")));
    }
    EXPECT_THAT(
        sent,
        ElementsAre("vdrive 0: 12 00 00 00 38 00 | in 56", "vdrive 0: 12 00 00 00 7D 00 | in 125",
                    "vdrive 0: 12 01 80 00 FF 00 | in 255", "vdrive 0: 00 00 00 00 00 00 | none 0",
                    "vdrive 0: 5A 00 2A 00 00 00 00 00 1E 00 | in 30",
                    "vdrive 0: F5 01 00 A2 00 24 00 04 00 00 00 00 | in 4",
                    "vdrive 0: F5 01 00 A2 00 02 00 04 00 00 00 00 | in 4"));
    EXPECT_EQ(rig.drives[0]->Vendor().handshakes, 0u);
    EXPECT_EQ(rig.drives[1]->Trace().size(), 1u);  // only the scan asked the others
    EXPECT_THAT(rig.out.Text(),
                HasSubstr("drive 0: \"ORIN    DVD RW QV-5500A \" 1.0d: no disc, large buffer, "
                          "OEM tag \"ORIN      QZ   \", serial number \"QV5A0D4G1203\", "
                          "record 24 00005AC3, record 02 00005AC3\n"));
    const std::vector<DriveDescription> recorded = Described(folder.File("demo.json"));
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].serial, "QV5A0D4G1203");
    EXPECT_EQ(recorded[0].inquiryHeader, kDriveInquiryHeader);
    EXPECT_THAT(rig.out.Text(), HasSubstr("1 drive recorded to " + folder.File("demo.json")));
}

TEST(RecordDrivesTest, ADrivesSettlingHangsAndFailedReadsAreRecordedAsTheyCame) {
    DriveDescription settling;
    settling.setup = {"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ   ", true};
    settling.readiness = {{0x06, 0x29, 0x00}, {0x02, 0x04, 0x01}};
    settling.faults = {{0xF5, 0x01, 1, FaultKind::CheckCondition, {0x05, 0x24, 0x00}}};
    settling.recordAt02 = ModelRecord{0x30, 0x00, 0x12, 0x34};
    DriveDescription cut;
    cut.setup = {"ORIN    DVD RW QV-5500A ", "1.0d", "ORIN      QZ   ", false};
    cut.faults = {{0xF5, 0x01, 2, FaultKind::Short, {}, 2},
                  {0x12, 0x01, 1, FaultKind::CheckCondition, {0x02, 0x04, 0x01}}};
    // Its tray never answers: this build's checks end there, so it gets none of the maker's
    // commands.
    DriveDescription hanging;
    hanging.setup = {"ORIN    DVD RW QV-5500A ", "1.0d", std::string(15, ' '), false};
    hanging.faults = {{0x00, std::nullopt, 0, FaultKind::TimeOut},
                      {0x5A, std::nullopt, 0, FaultKind::Busy}};
    Folder folder;
    RecordRig rig({settling, cut, hanging});
    ASSERT_EQ(rig.Record(folder.File("r.json")), 0) << rig.err.Text();
    const std::vector<DriveDescription> recorded = Described(folder.File("r.json"));
    ASSERT_EQ(recorded.size(), 3u);

    // A disc in the tray does not keep the records from being read.
    EXPECT_EQ(recorded[0].setup, settling.setup);
    EXPECT_EQ(recorded[0].readiness, settling.readiness);
    EXPECT_EQ(recorded[0].faults, settling.faults);  // the first record read, the checks' one
    EXPECT_EQ(recorded[0].recordAt24, std::nullopt);
    EXPECT_EQ(recorded[0].recordAt02, settling.recordAt02);
    EXPECT_EQ(rig.clock.Sleeps(), (std::vector<uint32_t>{200, 200}));

    // A record not read whole is not a record; a serial number page refused with anything
    // but "no such page" is a fault of the page.
    EXPECT_THAT(recorded[1].faults,
                ElementsAre(Fault{0x12, 0x01, 0, FaultKind::CheckCondition, {0x02, 0x04, 0x01}},
                            cut.faults[0]));
    EXPECT_EQ(recorded[1].recordAt02, std::nullopt);
    EXPECT_TRUE(recorded[1].recordAt24.has_value());

    EXPECT_EQ(recorded[2].setup, hanging.setup);
    EXPECT_THAT(recorded[2].faults, ElementsAre(Fault{0x00, std::nullopt, 0, FaultKind::TimeOut},
                                                Fault{0x5A, std::nullopt, 0, FaultKind::Busy}));
    EXPECT_EQ(recorded[2].recordAt24, std::nullopt);
    EXPECT_THAT(rig.out.Text(),
                HasSubstr("drive 2: TEST UNIT READY (1 of 1): timed out; recorded as a fault\n"));
    EXPECT_THAT(rig.out.Text(),
                HasSubstr("drive 2: model records not read: this build sends this drive none of "
                          "the maker's commands; recorded from standard commands alone\n"));
}

// The drives of each shipped scenario that get the maker's commands (F0-FF) from a
// recording, by build: only those the build's own checks send them to.
struct ReachCase {
    std::string scenario;
    bool wildcard;
    std::vector<size_t> reached;
};

TEST(RecordDrivesTest, TheMakersCommandsGoOnlyToDrivesTheBuildSendsThemTo) {
    const std::vector<ReachCase> cases = {
        {"demo.json", false, {0}},
        {"demo.json", true, {}},
        {"eight-drives.json", false, {0}},
        {"record-read-times-out.json", false, {}},
        {"record-read-times-out.json", true, {0}},
    };
    for (const ReachCase& c : cases) {
        const std::string where = c.scenario + (c.wildcard ? " (wildcard build)" : "");
        const std::vector<DriveDescription> drives = Described(ShippedPath(c.scenario));
        Folder folder;
        RecordRig rig(drives, c.wildcard ? WildcardKm3100Region() : ThisBuildRegion());
        ASSERT_EQ(rig.Record(folder.File("r.json")), 0) << where << rig.err.Text();
        std::string withheld;
        for (size_t i = 0; i < rig.drives.size(); ++i) {
            const auto& trace = rig.drives[i]->Trace();
            const bool reached = std::any_of(trace.begin(), trace.end(),
                                             [](const TraceEntry& e) { return e.cdb[0] >= 0xF0; });
            const bool expected =
                std::find(c.reached.begin(), c.reached.end(), i) != c.reached.end();
            EXPECT_EQ(reached, expected) << where << " drive " << i;
            if (!expected) {
                withheld += (withheld.empty() ? "drive " : ", drive ") + std::to_string(i);
            }
        }
        // The file says which drives were recorded without them.
        std::ifstream file(folder.File("r.json"));
        const std::string text(std::istreambuf_iterator<char>(file), {});
        if (withheld.empty()) {
            EXPECT_THAT(text, Not(HasSubstr("none of the maker's commands"))) << where;
        } else {
            EXPECT_THAT(text, HasSubstr("This build sends " + withheld +
                                        " none of the maker's commands: recorded from standard "
                                        "commands alone, their model records are the defaults."))
                << where;
        }
    }
}

TEST(RecordDrivesTest, ARecordingNeverReplacesAFileThatHoldsSomething) {
    Folder folder;
    const std::string file = folder.File("kept.json");
    std::ofstream(file) << "an earlier recording";
    RecordRig rig(Described(ShippedPath("demo.json")));
    EXPECT_EQ(rig.Record(file), kExitUsage);
    EXPECT_EQ(rig.err.Text(), "flashtool: " + file +
                                  ": exists and is not empty; a recording is never replaced "
                                  "(remove it, or name another file)\n");
    EXPECT_TRUE(rig.drives[0]->Trace().empty());  // refused before any drive was asked
    std::ifstream kept(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "an earlier recording");

    // An empty file (as mktemp leaves one) is taken, and nothing else is left beside it.
    const std::string empty = folder.File("empty.json");
    std::ofstream{empty};
    EXPECT_EQ(rig.Record(empty), 0) << rig.err.Text();
    EXPECT_EQ(Described(empty).size(), 3u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 2);

    EXPECT_EQ(rig.Record(folder.path.string()), kExitUsage);  // a folder
    EXPECT_EQ(rig.Record(folder.File("missing/r.json")), kExitUsage);
    EXPECT_THAT(rig.err.Text(), HasSubstr("missing/r.json: cannot be written: "));
}

// Writes into FILE at the first pause asked for: another program at work there while the
// drives are read (the recording polls a settling drive).
class WritesMeanwhile final : public Clock {
public:
    explicit WritesMeanwhile(std::string path) : path(std::move(path)) {}
    void SleepMs(uint32_t /*milliseconds*/) override {
        if (!written) {
            std::ofstream(path, std::ios::app) << "written meanwhile";
            written = true;
        }
    }

private:
    std::string path;
    bool written = false;
};

TEST(RecordDrivesTest, AFileWrittenWhileTheDrivesAreReadIsNeverReplaced) {
    std::vector<DriveDescription> drives = Described(ShippedPath("demo.json"));
    drives[0].readiness = {{0x02, 0x04, 0x01}};
    for (const bool emptyAtFirst : {false, true}) {
        Folder folder;
        const std::string file = folder.File("r.json");
        if (emptyAtFirst) {
            std::ofstream{file};
        }
        WritesMeanwhile clock(file);
        RecordRig rig(drives);
        rig.environmentClock = &clock;
        EXPECT_EQ(rig.Record(file), kExitUsage) << emptyAtFirst;
        EXPECT_EQ(rig.err.Text(),
                  "flashtool: " + file +
                      (emptyAtFirst ? ": is no longer an empty file"
                                    : ": appeared while the drives were read") +
                      "; a recording is never replaced (remove it, or name another file)\n");
        std::ifstream kept(file);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "written meanwhile");
        // Nothing else is left beside it.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1);
    }
}

TEST(RecordDrivesTest, ADriveTheFormatCannotCarryIsLeftOutAndNamed) {
    std::vector<DriveDescription> drives = Described(ShippedPath("demo.json"));
    drives[1].setup.identification[23] = '\x01';
    Folder folder;
    RecordRig rig(drives);
    EXPECT_EQ(rig.Record(folder.File("r.json")), kExitUsage);
    EXPECT_EQ(rig.err.Text(),
              "flashtool: drive 1: not recorded: its identification or revision holds bytes a "
              "scenario file cannot carry\n");
    const std::vector<DriveDescription> written = Described(folder.File("r.json"));
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1].setup.identification, drives[2].setup.identification);
}

TEST(RecordDrivesTest, ADriveNamedButNotThereWritesNothing) {
    Folder folder;
    RecordRig rig(Described(ShippedPath("demo.json")));
    EXPECT_EQ(rig.Record(folder.File("r.json"), "5"), kExitUsage);
    EXPECT_EQ(rig.err.Text(), "flashtool: no drive '5' (--list shows the drives)\n");
    EXPECT_FALSE(std::filesystem::exists(folder.File("r.json")));

    RecordRig none({});
    EXPECT_EQ(none.Record(folder.File("r.json")), kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(folder.File("r.json")));
}

}  // namespace
}  // namespace flashtool::testing
