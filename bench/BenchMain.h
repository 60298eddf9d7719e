#pragma once

// The benchmark programs' main: Google Benchmark's own, except for the exit status. A
// benchmark that stops with state.SkipWithError is only printed by the library, which
// still exits 0, so a broken benchmark would pass as a test; here it makes the program
// exit 1, and so does a filter that matches no benchmark.
//
// The display is the one the library's flags ask for (--benchmark_format=console, json or
// csv, --benchmark_color), so that tools that compare runs can read it; --benchmark_out
// and --benchmark_out_format work as usual.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string_view>
#include <vector>

namespace flashtool {

// Passes everything on to the display the flags chose, noting whether a run failed.
class ErrorNotingReporter final : public benchmark::BenchmarkReporter {
public:
    // `shown` stays the library's (CreateDefaultDisplayReporter keeps it for the program's
    // life).
    explicit ErrorNotingReporter(benchmark::BenchmarkReporter& shown) : shown(shown) {}

    bool ReportContext(const Context& context) override { return shown.ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            failed = failed || run.error_occurred;
        }
        shown.ReportRuns(runs);
    }
    void Finalize() override { shown.Finalize(); }
    bool Failed() const { return failed; }

private:
    benchmark::BenchmarkReporter& shown;
    bool failed = false;
};

// The library answers a format it does not know with its usage and exit status 0; a script
// that asked for a format must not take that for a run.
inline bool KnownFormats(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        for (const std::string_view flag : {"--benchmark_format=", "--benchmark_out_format="}) {
            const std::string_view format =
                arg.starts_with(flag) ? arg.substr(flag.size()) : "console";
            if (format != "console" && format != "json" && format != "csv") {
                std::fprintf(stderr, "%s: unknown format in %s (console, json or csv)\n", argv[0],
                             argv[i]);
                return false;
            }
        }
    }
    return true;
}

// Runs the benchmarks the arguments select; 0 when every one ran to its end.
inline int RunBenchmarks(int argc, char** argv) {
    if (!KnownFormats(argc, argv)) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    ErrorNotingReporter reporter(*benchmark::CreateDefaultDisplayReporter());
    const size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.Failed() || ran == 0 ? 1 : 0;
}

// Whether the display is the console's: a program's own closing lines (a ratio) go to
// standard output then, and to standard error when the output is JSON or CSV for a tool.
inline bool ConsoleDisplay() {
    return dynamic_cast<benchmark::ConsoleReporter*>(benchmark::CreateDefaultDisplayReporter()) !=
           nullptr;
}

}  // namespace flashtool
