#pragma once

// The benchmark programs' main: Google Benchmark's own, except for the exit status. A
// benchmark that stops with state.SkipWithError is only printed by the library, which
// still exits 0, so a broken benchmark would pass as a test; here it makes the program
// exit 1, and so does a filter that matches no benchmark.
//
// The display is always the console's, in colour on a terminal only: --benchmark_format and
// --benchmark_color are not followed; --benchmark_out and --benchmark_out_format are.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <vector>

namespace flashtool {

class ErrorNotingReporter final : public benchmark::ConsoleReporter {
public:
    ErrorNotingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            failed = failed || run.error_occurred;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    bool Failed() const { return failed; }

private:
    bool failed = false;
};

// Runs the benchmarks the arguments select; 0 when every one ran to its end.
inline int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    ErrorNotingReporter reporter;
    const size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.Failed() || ran == 0 ? 1 : 0;
}

}  // namespace flashtool
