// flashtool-emulated: the program over virtual drives. With no option they are the demo's
// three (this build's target at an older revision and two drives it cannot update);
// `--drives FILE` reads them from a scenario file instead (scenarios/README.md). Every
// command's trace line goes to standard output; a restart is only reported, never carried
// out.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/EmulatedInhibitor.h"
#include "emulator/EmulatedRestart.h"
#include "app/qt/FlashToolApplication.h"
#include "emulator/DemoDrives.h"
#include "emulator/EmulatedBackend.h"
#include "emulator/Scenario.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kBadScenario = 1;

struct Options {
    std::optional<std::string> drivesFile;
    std::vector<char*> rest;  // for Qt, which takes its own options from them
    std::string error;
};

// Takes "--drives FILE" or "--drives=FILE" out of the arguments.
Options ReadOptions(int argc, char* argv[]) {
    constexpr std::string_view kDrives = "--drives";
    Options options;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        std::optional<std::string> file;
        if (i > 0 && argument == kDrives) {
            if (i + 1 == argc) {
                options.error = "--drives needs a scenario file";
                return options;
            }
            file = argv[++i];
        } else if (i > 0 && argument.starts_with("--drives=")) {
            file = std::string(argument.substr(kDrives.size() + 1));
        } else {
            options.rest.push_back(argv[i]);
            continue;
        }
        if (options.drivesFile) {
            options.error = "--drives is given more than once";
            return options;
        }
        options.drivesFile = std::move(file);
    }
    options.rest.push_back(nullptr);
    return options;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace flashtool;
    Options options = ReadOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "flashtool-emulated: %s\nusage: flashtool-emulated [--drives FILE]\n",
                     options.error.c_str());
        return kUsageError;
    }
    // The drives' latencies and delays are real time here: the program really waits.
    static SystemClock driveClock;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    if (options.drivesFile) {
        const ScenarioReading reading = LoadScenarioFile(*options.drivesFile);
        if (!reading.Ok()) {
            std::fprintf(stderr, "flashtool-emulated: %s\n", reading.error.c_str());
            return kBadScenario;
        }
        drives = BuildDrives(reading.drives, &driveClock);
    } else {
        drives = MakeDemoDrives(&driveClock);
    }

    StdoutDiagnostics diagnostics;
    EmulatedRestart restart(diagnostics);
    EmulatedInhibitor inhibitor(diagnostics);
    int qtArgc = static_cast<int>(options.rest.size()) - 1;
    return RunFlashTool(
        qtArgc, options.rest.data(), std::make_unique<EmulatedBackend>(drives, diagnostics),
        restart, inhibitor, diagnostics, [&restart](FlashDialog& dialog) {
            restart.SetLog([&dialog](std::string_view line) { dialog.AppendLog(line); });
        });
}
