// The command line's whole update on virtual drives, on the real clock (the settle waits are
// real time too), one drive with --update against many with --all, each drive on its own
// worker and back-end so that the waits overlap:
//   BM_UpdateOneDrive / BM_UpdateAllEight: drives that take 2 ms per command; goal: eight in
//     at most 1.25x one's time.
//   BM_UpdateOneDriveNoLatency / BM_UpdateAllThirtyTwo: drives that answer at once, so that
//     what is left besides the settle is the program's own work for each drive (making the
//     workers, the scans, the checks, the pages); goal: a tower of 32 in at most 1.15x one's
//     time.
// The ratios are printed after the runs. About 25 s; --fast runs the same updates on the
// fake clock.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "app/cli/CommandLine.h"
#include "bench/BenchMain.h"
#include "support/DialogHarness.h"
#include "support/NoTerminal.h"

namespace flashtool {
namespace {

double secondsOne = 0;
double secondsEight = 0;
double secondsOneAtOnce = 0;
double secondsThirtyTwo = 0;
// --fast: the fake clock in place of the real one, so that the latency and the settle
// waits take no time: the whole update runs once in a moment, for the test suite. The
// times then say nothing, and no ratio is printed.
bool fast = false;

// The update's time in seconds, or nothing when it failed.
std::optional<double> RunUpdate(size_t drives, uint32_t latencyMs, std::vector<std::string> words) {
    SystemClock realClock;
    FakeClock fakeClock;
    Clock& clock = fast ? static_cast<Clock&>(fakeClock) : realClock;
    std::vector<std::shared_ptr<VirtualDrive>> built;
    for (size_t n = 0; n < drives; ++n) {
        built.push_back(std::make_shared<VirtualDrive>(testing::TargetAt("1.0d")));
        built.back()->SetClock(&clock);
        built.back()->SetLatencyMs(latencyMs);
    }
    const std::vector<uint8_t> region = testing::ThisBuildRegion();
    CapturedDiagnostics out, err;
    testing::FakeRestart restart;
    testing::FakeInhibitor inhibitor;
    testing::NoTerminal terminal;
    CliEnvironment environment{
        [&built](DiagnosticSink& trace) { return std::make_unique<EmulatedBackend>(built, trace); },
        region,
        restart,
        inhibitor,
        clock,
        out,
        err,
        terminal,
        "flashtool",
        nullptr,
        "0.1"};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    const auto start = std::chrono::steady_clock::now();
    const int status = RunCommandLine(ParseCommandLine(argv, false).options, environment);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (status != 0) {
        std::fprintf(stderr, "update failed with status %d:\n%s", status, err.Text().c_str());
        return std::nullopt;
    }
    for (const auto& drive : built) {
        if (drive->Revision() != "1.0e") {
            std::fprintf(stderr, "a drive still reports %s\n", drive->Revision().c_str());
            return std::nullopt;
        }
    }
    return took.count();
}

void Update(benchmark::State& state, size_t drives, uint32_t latencyMs,
            std::vector<std::string> words, double& seconds) {
    for (auto _ : state) {
        const auto took = RunUpdate(drives, latencyMs, words);
        if (!took) {
            state.SkipWithError("the update failed");
            break;
        }
        seconds = *took;
        state.SetIterationTime(seconds);
    }
}

void BM_UpdateOneDrive(benchmark::State& state) {
    Update(state, 1, 2, {"--update", "0", "--yes"}, secondsOne);
}
BENCHMARK(BM_UpdateOneDrive)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_UpdateAllEight(benchmark::State& state) {
    Update(state, 8, 2, {"--all", "--yes"}, secondsEight);
}
BENCHMARK(BM_UpdateAllEight)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_UpdateOneDriveNoLatency(benchmark::State& state) {
    Update(state, 1, 0, {"--update", "0", "--yes"}, secondsOneAtOnce);
}
BENCHMARK(BM_UpdateOneDriveNoLatency)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_UpdateAllThirtyTwo(benchmark::State& state) {
    Update(state, 32, 0, {"--all", "--yes"}, secondsThirtyTwo);
}
BENCHMARK(BM_UpdateAllThirtyTwo)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace flashtool

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    flashtool::fast =
        std::erase_if(args, [](const char* arg) { return std::string_view(arg) == "--fast"; }) != 0;
    const int status = flashtool::RunBenchmarks(static_cast<int>(args.size()), args.data());
    // Beside JSON or CSV for a tool, the ratios go to standard error.
    FILE* const ratios = flashtool::ConsoleDisplay() ? stdout : stderr;
    if (!flashtool::fast && flashtool::secondsOne > 0 && flashtool::secondsEight > 0) {
        std::fprintf(ratios, "eight drives / one drive: %.3fx (goal: at most 1.25x)\n",
                     flashtool::secondsEight / flashtool::secondsOne);
    }
    if (!flashtool::fast && flashtool::secondsOneAtOnce > 0 && flashtool::secondsThirtyTwo > 0) {
        std::fprintf(ratios, "32 drives / one drive, no latency: %.3fx (goal: at most 1.15x)\n",
                     flashtool::secondsThirtyTwo / flashtool::secondsOneAtOnce);
    }
    return status;
}
