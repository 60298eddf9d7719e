// startup_bench: the window program's start-up against the least a Qt program needs to show
// the same start-up notice (minimal_notice), from exec to the notice drawn on the screen of
// a private X server (Xvfb): wall time, CPU time and peak memory. The two programs are
// started in turns, in pairs whose order alternates, so that a machine that grows busier
// or quieter weighs on both alike; it prints each program's medians and their ratios, with
// the spread of the pairs' own ratios. Goal: each ratio at most 1.10x.
//
//   startup_bench [--pairs N] [--program PATH] [--minimal PATH]
//
// N is 60 unless given (one more pair first warms the caches, uncounted); PATH defaults to
// this build's product, flashtool (the program users start: until the notice is answered it
// opens no drive, and it is killed at the notice), and minimal_notice. The test suite's run
// starts flashtool-emulated instead. Exit 77 when there is no Xvfb.
//
// Xvfb rather than Qt's offscreen platform: offscreen draws nothing anyone could see, and
// skips the X connection, the fonts' and the window manager's work that a user's start-up
// pays; a real X server reports the first drawing into the notice's window (DAMAGE).

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/StartupTexts.h"
#include "bench/NoticeWatch.h"
#include "data/EmbeddedRegion.h"
#include "image/BuildConfig.h"

namespace flashtool::bench {
namespace {

constexpr int kSkipped = 77;

struct Options {
    int pairs = 60;
    std::string program = FLASHTOOL_WINDOW_PROGRAM;
    std::string minimal = FLASHTOOL_MINIMAL_NOTICE;
};

std::optional<Options> ReadOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        if (name == "--pairs") {
            options.pairs = std::atoi(argv[i + 1]);
        } else if (name == "--program") {
            options.program = argv[i + 1];
        } else if (name == "--minimal") {
            options.minimal = argv[i + 1];
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0 || options.pairs < 1) {
        return std::nullopt;
    }
    return options;
}

// The programs' environment: this one's, on the private display with the X platform, and
// with a runtime folder of their own (the window program keeps its lock there).
std::vector<std::string> ChildEnvironment(const std::string& display,
                                          const std::string& runtimeDir) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string_view entry = *variable;
        const std::string_view name = entry.substr(0, entry.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "QT_QPA_PLATFORM" &&
            name != "XDG_RUNTIME_DIR" && name != "SESSION_MANAGER") {
            environment.emplace_back(entry);
        }
    }
    environment.push_back("DISPLAY=" + display);
    environment.push_back("QT_QPA_PLATFORM=xcb");
    environment.push_back("XDG_RUNTIME_DIR=" + runtimeDir);
    return environment;
}

double Quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const auto low = static_cast<size_t>(at);
    const size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

struct Series {
    std::vector<double> program, minimal;
};

// One line of the table: both medians, their ratio, and the quartiles of the pairs' ratios.
double PrintRow(const char* name, const Series& series) {
    std::vector<double> ratios;
    for (size_t i = 0; i < series.program.size(); ++i) {
        ratios.push_back(series.program[i] / series.minimal[i]);
    }
    const double program = Quantile(series.program, 0.5);
    const double minimal = Quantile(series.minimal, 0.5);
    std::printf("%-20s %9.1f %9.1f %8.3fx    %.3fx - %.3fx\n", name, program, minimal,
                program / minimal, Quantile(ratios, 0.25), Quantile(ratios, 0.75));
    return program / minimal;
}

int Run(const Options& options) {
    std::string error;
    const auto server = PrivateXServer::Start(error);
    const auto watch = server ? NoticeWatch::Connect(server->Display(), error) : nullptr;
    if (!watch) {
        std::printf("startup_bench: skipped: %s\n", error.c_str());
        return kSkipped;
    }
    const auto config = BuildConfig::FromBytes(EmbeddedStoredRegion()).value_or(BuildConfig{});
    const std::vector<std::string> minimal = {
        options.minimal, std::string(kNoticeCaption),
        StartupNoticeText(DeriveBrandCode(config.RevisionPattern()), config.FamilyCode10())};
    const std::vector<std::string> program = {options.program};
    char runtimeTemplate[] = "/tmp/startup-bench-XXXXXX";
    const char* runtimeDir = mkdtemp(runtimeTemplate);
    if (runtimeDir == nullptr) {
        std::fprintf(stderr, "startup_bench: no temporary folder\n");
        return 1;
    }
    const auto environment = ChildEnvironment(server->Display(), runtimeDir);
    Series wall, cpu, memory;
    StartMeasure lastProgram, lastMinimal;
    for (int pair = 0; pair <= options.pairs; ++pair) {
        // Odd pairs start the minimal program first.
        const bool programFirst = pair % 2 == 0;
        std::optional<StartMeasure> first =
            watch->Measure(programFirst ? program : minimal, environment, error);
        std::optional<StartMeasure> second =
            first ? watch->Measure(programFirst ? minimal : program, environment, error)
                  : std::nullopt;
        if (!second) {
            std::fprintf(stderr, "startup_bench: %s\n", error.c_str());
            std::filesystem::remove_all(runtimeDir);
            return 1;
        }
        lastProgram = programFirst ? *first : *second;
        lastMinimal = programFirst ? *second : *first;
        if (pair == 0) {
            continue;  // the warm-up pair
        }
        wall.program.push_back(lastProgram.wallMs);
        wall.minimal.push_back(lastMinimal.wallMs);
        cpu.program.push_back(lastProgram.cpuMs);
        cpu.minimal.push_back(lastMinimal.cpuMs);
        memory.program.push_back(lastProgram.peakRssMiB);
        memory.minimal.push_back(lastMinimal.peakRssMiB);
    }
    std::filesystem::remove_all(runtimeDir);
    std::printf("startup_bench: %d pairs in turns on Xvfb %s, exec to the notice drawn\n",
                options.pairs, server->Display().c_str());
    std::printf("  program: %s (notice %dx%d)\n  minimal: %s (notice %dx%d)\n",
                options.program.c_str(), lastProgram.width, lastProgram.height,
                options.minimal.c_str(), lastMinimal.width, lastMinimal.height);
    std::printf("%-20s %9s %9s %9s    %s\n", "median", "program", "minimal", "ratio",
                "pairs' ratios, quartiles");
    const double worst = std::max({PrintRow("wall time (ms)", wall), PrintRow("CPU time (ms)", cpu),
                                   PrintRow("peak memory (MiB)", memory)});
    std::printf("goal (each ratio 1.10x or less): %s\n", worst <= 1.10 ? "met" : "not met");
    if (lastProgram.width != lastMinimal.width || lastProgram.height != lastMinimal.height) {
        std::printf("note: the two notices differ in size\n");
    }
    return 0;
}

}  // namespace
}  // namespace flashtool::bench

int main(int argc, char** argv) {
    const auto options = flashtool::bench::ReadOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: startup_bench [--pairs N] [--program PATH] [--minimal PATH]\n");
        return 2;
    }
    return flashtool::bench::Run(*options);
}
