// BM_UpdateOneDrive / BM_UpdateAllEight: the command line's whole update on virtual drives
// that take 2 ms per command, on the real clock (the settle waits are real time too), for
// one drive with --update and for eight with --all. Goal: eight in at most 1.25x one's time,
// since each drive has its own worker and back-end and the waits overlap. The ratio is
// printed after the runs.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "app/cli/CommandLine.h"
#include "support/DialogHarness.h"

namespace flashtool {
namespace {

class NoTerminal final : public Terminal {
public:
    bool Interactive() const override { return false; }
    bool DrawsProgress() const override { return false; }
    std::optional<std::string> ReadLine() override { return std::nullopt; }
};

double secondsOne = 0;
double secondsEight = 0;

double RunUpdate(size_t drives, std::vector<std::string> words) {
    SystemClock clock;
    std::vector<std::shared_ptr<VirtualDrive>> built;
    for (size_t n = 0; n < drives; ++n) {
        built.push_back(std::make_shared<VirtualDrive>(testing::TargetAt("1.0d")));
        built.back()->SetClock(&clock);
        built.back()->SetLatencyMs(2);
    }
    const std::vector<uint8_t> region = testing::ThisBuildRegion();
    CapturedDiagnostics out, err;
    testing::FakeRestart restart;
    testing::FakeInhibitor inhibitor;
    NoTerminal terminal;
    CliEnvironment environment{
        [&built](DiagnosticSink& trace) { return std::make_unique<EmulatedBackend>(built, trace); },
        region, restart, inhibitor, clock, out, err, terminal, "flashtool"};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    const auto start = std::chrono::steady_clock::now();
    const int status = RunCommandLine(ParseCommandLine(argv, false).options, environment);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (status != 0) {
        std::fprintf(stderr, "update failed with status %d\n", status);
    }
    return took.count();
}

void BM_UpdateOneDrive(benchmark::State& state) {
    for (auto _ : state) {
        secondsOne = RunUpdate(1, {"--update", "0", "--yes"});
        state.SetIterationTime(secondsOne);
    }
}
BENCHMARK(BM_UpdateOneDrive)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_UpdateAllEight(benchmark::State& state) {
    for (auto _ : state) {
        secondsEight = RunUpdate(8, {"--all", "--yes"});
        state.SetIterationTime(secondsEight);
    }
}
BENCHMARK(BM_UpdateAllEight)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace flashtool

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (flashtool::secondsOne > 0 && flashtool::secondsEight > 0) {
        std::printf("eight drives / one drive: %.3fx (goal: at most 1.25x)\n",
                    flashtool::secondsEight / flashtool::secondsOne);
    }
    return 0;
}
