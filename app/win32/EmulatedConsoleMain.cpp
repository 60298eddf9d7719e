// <package>-emulated-cli.exe: the command line over the virtual drives of the Linux emulated
// program (`--drives FILE` reads them from a scenario file), a console program like
// <package>-cli.exe. It touches no drive and restarts nothing; its lines, documents and exit
// statuses are the Linux emulated program's, byte for byte where no path differs.

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/CliMain.h"
#include "app/cli/LiveLine.h"
#include "app/win32/ConsoleHint.h"
#include "app/win32/ConsoleStreams.h"
#include "data/BuildIdentity.h"
#include "data/EmbeddedRegion.h"
#include "emulator/EmulatedBackend.h"
#include "emulator/EmulatedInhibitor.h"
#include "emulator/EmulatedRestart.h"
#include "emulator/Scenario.h"
#include "image/BuildConfig.h"

namespace {

constexpr int kBadScenario = 1;

}  // namespace

int main(int argc, char* argv[]) {
    using namespace flashtool;
    win32::PrepareConsoleStreams();
    const std::string program = ProgramName(ProgramKind::Emulated);
    const std::string version = BuildVersionText();
    const CliStart start = ReadCliOptions(argc, argv, program, true, version.c_str());
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    if (start.options.action == CliAction::Window) {
        return win32::NoWindowHere(program);
    }
    // The drives' latencies and delays are real time here, as in the Linux program.
    static SystemClock driveClock;
    const auto config = BuildConfig::FromBytes(EmbeddedStoredRegion());
    EmulatedDrives loaded =
        LoadEmulatedDrives(start.options.drivesFile, EmbeddedDriveScenario(),
                           config ? std::string(config->NewRevision()) : "", &driveClock);
    if (!loaded.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), loaded.error.c_str());
        return kBadScenario;
    }
    std::vector<std::shared_ptr<VirtualDrive>> drives = std::move(loaded.drives);
    // With --json standard output carries only JSON, as on Linux.
    DiagnosticSink& diagnostics =
        start.options.json ? ProcessStandardError() : ProcessStandardOutput();
    EmulatedRestart restart(diagnostics);
    EmulatedInhibitor inhibitor(diagnostics);
    return RunCommandLineMain(
        start.options, program,
        [&drives](DiagnosticSink& trace) {
            return std::make_unique<EmulatedBackend>(drives, trace);
        },
        restart, inhibitor, false);
}
