#pragma once

// The program's command line without its main(), over virtual drives and the fake clock: a
// scripted terminal, and standard output and error captured as they reach the terminal
// (both going around its status line, as the program's do).

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CommandLine.h"
#include "app/cli/LiveLine.h"
#include "emulator/Scenario.h"
#include "support/DialogHarness.h"
#include "transport/ForwardingBackend.h"

namespace flashtool::testing {

class ScriptedTerminal final : public Terminal {
public:
    bool interactive = false;
    bool outputIsTerminal = true;  // false: standard output goes to a file
    std::deque<std::string> typed;
    std::string shown;  // what was written on the terminal itself
    bool Interactive() const override { return interactive; }
    bool DrawsProgress() const override { return draws; }
    unsigned Columns() const override { return columns; }
    bool draws = false;
    unsigned columns = 80;
    bool OutputIsAnswerTerminal() const override { return outputIsTerminal; }
    void WriteToAnswerTerminal(std::string_view text) override { shown += text; }
    std::optional<std::string> ReadLine() override {
        if (typed.empty()) {
            return std::nullopt;
        }
        std::string line = typed.front();
        typed.pop_front();
        return line;
    }
};

// The drives of a scenario file, on `clock`.
inline std::vector<std::shared_ptr<VirtualDrive>> ScenarioDrives(const std::string& path,
                                                                 FakeClock& clock) {
    const ScenarioReading reading = LoadScenarioFile(path);
    EXPECT_TRUE(reading.Ok()) << reading.error;
    return BuildDrives(reading.drives, &clock);
}

// The drives of a shipped scenario (scenarios/NAME).
inline std::vector<std::shared_ptr<VirtualDrive>> Shipped(const std::string& name,
                                                          FakeClock& clock) {
    return ScenarioDrives(std::string(FLASHTOOL_SCENARIO_DIR) + "/" + name, clock);
}

// Drives that exist but that the scan could not open, as a system that refuses access
// reports them.
class RefusingSomeBackend final : public ForwardingBackend {
public:
    using ForwardingBackend::ForwardingBackend;
    void EndDiscovery(UserNotifier& notifier) override {
        notifier.ShowMessage("/dev/sg9: this program was not allowed to open the drive.");
    }
    bool DiscoveryMissedDrives() const override { return true; }
};

// The program's command line without its main(): scripted terminal, captured output.
struct CliRig {
    explicit CliRig(std::vector<std::shared_ptr<VirtualDrive>> built)
        : drives(std::move(built)), region(ThisBuildRegion()) {}

    int Run(std::vector<std::string> words) {
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        const CliParse parse = ParseCommandLine(argv, false);
        EXPECT_EQ(parse.error, "");
        // Both streams share the terminal, and go around its status line as the program's do.
        LiveLine live(out);
        AroundLiveLine shownOut(live, out);
        AroundLiveLine shownErr(live, err);
        CliEnvironment environment{
            [this](DiagnosticSink& trace) {
                auto backend = std::make_unique<EmulatedBackend>(drives, trace);
                return refuseSome ? std::make_unique<RefusingSomeBackend>(std::move(backend))
                                  : std::unique_ptr<PassThroughBackend>(std::move(backend));
            },
            region,
            restart,
            inhibitor,
            clock,
            shownOut,
            shownErr,
            terminal,
            "flashtool",
            history ? &*history : nullptr,
            "0.1"};
        environment.liveLine = &live;
        return RunCommandLine(parse.options, environment);
    }
    // The trace lines written, in order.
    std::vector<std::string> TraceLines(const std::string& prefix = "") const {
        std::vector<std::string> lines;
        const std::string text = out.Text();
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find('\n', at);
            const std::string line = text.substr(at, end - at);
            if (line.starts_with(prefix + "vdrive ")) {
                lines.push_back(line.substr(prefix.size()));
            }
            at = end + 1;
        }
        return lines;
    }

    std::vector<std::shared_ptr<VirtualDrive>> drives;
    bool refuseSome = false;              // the scan also finds a drive it may not open
    std::optional<HistoryStore> history;  // none: no history kept
    std::vector<uint8_t> region;
    CapturedDiagnostics out, err;
    FakeClock clock;
    FakeRestart restart;
    FakeInhibitor inhibitor;
    ScriptedTerminal terminal;
};

}  // namespace flashtool::testing
