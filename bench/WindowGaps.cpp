// How long the window's thread goes without serving its events while a drive is slow: the
// longest gap between two ticks of a 5 ms timer on that thread, in each phase the operator
// waits through: the scan at start-up, the checks of an Upgrade press and the flash run.
// The drives are a scenario file's (by default bench/slow-target.json: this build's target
// answers every command after 15 s). Goal: 50 ms or less in each phase.
//
// It measures real time and takes minutes: the scan and the checks wait on every command
// of the target, and so do the first commands of the run (--run-commands, 3 by default);
// the rest of the run goes at full speed. The Qt window runs on the offscreen platform
// unless QT_QPA_PLATFORM names another; the message boxes are answered by the program.
// --fast takes the latency away and runs the whole run at full speed: the same phases in
// a second or two, for the test suite; the gaps are printed but the goal is not judged,
// since nothing was slow. Exits 1 when the upgrade did not complete, or (without --fast)
// when the goal was missed.
//
//   window_gaps [--drives FILE] [--latency-ms N] [--run-commands N] [--fast]

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/controls/CTreeCtrlEx.h"
#include "app/qt/FlashToolApplication.h"
#include "data/EmbeddedRegion.h"
#include "emulator/EmulatedBackend.h"
#include "emulator/Scenario.h"
#include "support/FakeInhibitor.h"
#include "support/FakeRestart.h"

namespace flashtool {
namespace {

using SteadyClock = std::chrono::steady_clock;

class NullDiagnostics final : public DiagnosticSink {
public:
    void Write(std::string_view) override {}
};

// The drives' clock: real pauses until it is switched to fast, which also cuts short a
// pause under way. Counts the pauses (one per command of a drive with a latency).
class SwitchableClock final : public Clock {
public:
    void SleepMs(uint32_t milliseconds) override {
        std::unique_lock lock(mutex);
        ++pauses;
        changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return fast; });
    }
    void GoFast() {
        const std::lock_guard lock(mutex);
        fast = true;
        changed.notify_all();
    }
    int Pauses() {
        const std::lock_guard lock(mutex);
        return pauses;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool fast = false;
    int pauses = 0;
};

struct Options {
    std::string drivesFile = FLASHTOOL_SLOW_SCENARIO;
    std::optional<uint32_t> latencyMs;
    int runCommands = 3;
    bool fast = false;
};

std::optional<Options> ReadOptions(int argc, char* argv[]) {
    Options options;
    for (int i = 1; i < argc; i += 2) {
        const std::string_view name = argv[i];
        if (name == "--fast") {
            options.fast = true;
            options.latencyMs = 0;
            options.runCommands = 0;
            --i;
            continue;
        }
        if (i + 1 == argc) {
            return std::nullopt;
        }
        const char* value = argv[i + 1];
        if (name == "--drives") {
            options.drivesFile = value;
        } else if (name == "--latency-ms") {
            options.latencyMs = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
        } else if (name == "--run-commands") {
            options.runCommands = std::atoi(value);
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// Runs the window's event loop until the condition holds (looked at every 5 ms).
void RunUntil(const std::function<bool()>& condition) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    poll.start(5);
    if (!condition()) {
        loop.exec();
    }
}

struct Phase {
    const char* name;
    SteadyClock::time_point begin;
    SteadyClock::time_point end;
};

// The longest time between two ticks, counting each gap that ends inside the phase.
double LongestGapMs(const std::vector<SteadyClock::time_point>& ticks, const Phase& phase) {
    SteadyClock::duration longest{};
    for (size_t i = 1; i < ticks.size(); ++i) {
        if (ticks[i] > phase.begin && ticks[i] <= phase.end) {
            longest = std::max(longest, ticks[i] - ticks[i - 1]);
        }
    }
    return std::chrono::duration<double, std::milli>(longest).count();
}

int Measure(const Options& options) {
    ScenarioReading reading = LoadScenarioFile(options.drivesFile);
    if (!reading.Ok()) {
        std::fprintf(stderr, "window_gaps: %s\n", reading.error.c_str());
        return 1;
    }
    if (options.latencyMs) {
        reading.drives.front().latencyMs = *options.latencyMs;
    }
    SwitchableClock driveClock;
    NullDiagnostics diagnostics;
    FakeClock clock;  // the program's own pauses between commands: none in real time
    testing::FakeRestart restart;
    testing::FakeInhibitor inhibitor;
    const auto drives = BuildDrives(reading.drives, &driveClock);
    const std::string revisionBefore = drives.front()->Revision();
    FlashToolApplication tool(std::make_unique<EmulatedBackend>(drives, diagnostics), restart,
                              inhibitor, clock, diagnostics, EmbeddedStoredRegion());
    QtDialogWindow& window = tool.Window();
    FlashDialog& dialog = tool.Dialog();
    // The notice, the question, the success; no restart.
    std::vector<BoxAnswer> answers{BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Ok, BoxAnswer::Cancel};
    size_t boxes = 0;
    window.SetMessageBoxProvider([&](const MessageBoxRequest&) {
        return boxes < answers.size() ? answers[boxes++] : BoxAnswer::Ok;
    });

    std::vector<SteadyClock::time_point> ticks;
    ticks.reserve(1 << 16);
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&ticks] { ticks.push_back(SteadyClock::now()); });
    probe.start(5);

    std::vector<Phase> phases;
    auto begin = SteadyClock::now();
    if (!dialog.OnInitDialog()) {
        std::fprintf(stderr, "window_gaps: the start-up sequence ended the dialog\n");
        return 1;
    }
    window.show();
    RunUntil([&] { return !dialog.Busy(); });
    phases.push_back({"scan", begin, SteadyClock::now()});

    CTreeCtrlEx* tree = window.Tree();
    if (tree->topLevelItemCount() == 0 || tree->topLevelItem(0)->childCount() == 0) {
        std::fprintf(stderr, "window_gaps: the scan found no drive\n");
        return 1;
    }
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    begin = SteadyClock::now();
    dialog.OnUpgrade();
    RunUntil([&] { return !dialog.Busy(); });
    phases.push_back({"checks", begin, SteadyClock::now()});

    begin = SteadyClock::now();
    const int pausesAtRun = driveClock.Pauses();
    RunUntil([&] {
        if (driveClock.Pauses() - pausesAtRun >= options.runCommands) {
            driveClock.GoFast();
        }
        return !dialog.RunInProgress();
    });
    phases.push_back({"run", begin, SteadyClock::now()});
    probe.stop();
    dialog.WaitForRun();

    bool met = true;
    for (const Phase& phase : phases) {
        const double gap = LongestGapMs(ticks, phase);
        const double length = std::chrono::duration<double>(phase.end - phase.begin).count();
        std::printf("%-6s %7.1f s  longest gap between ticks %6.1f ms\n", phase.name, length, gap);
        met = met && gap <= 50.0;
    }
    // The target's revision changes only when the run wrote it whole.
    const bool upgraded = drives.front()->Revision() != revisionBefore;
    if (!upgraded) {
        std::fprintf(stderr, "window_gaps: the upgrade did not complete (%zu boxes answered)\n",
                     boxes);
        return 1;
    }
    if (options.fast) {
        std::printf("goal not judged with --fast; %zu boxes answered\n", boxes);
        return 0;
    }
    std::printf("goal (50 ms or less in each phase): %s; %zu boxes answered\n",
                met ? "met" : "missed", boxes);
    return met ? 0 : 1;
}

}  // namespace
}  // namespace flashtool

int main(int argc, char* argv[]) {
    const auto options = flashtool::ReadOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: window_gaps [--drives FILE] [--latency-ms N] [--run-commands N] "
                     "[--fast]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return flashtool::Measure(*options);
}
