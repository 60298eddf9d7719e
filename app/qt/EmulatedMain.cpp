// The emulated program (the package's name and "-emulated": flashtool-emulated for the demo
// build): the program over virtual drives. With no option they are the drives
// the build names (the demo's: its target at an older revision and two drives it cannot
// update);
// `--drives FILE` reads them from a scenario file instead (scenarios/README.md). Every
// command's trace line goes to standard output; a restart is only reported, never carried
// out. The command-line options are the product's.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CliMain.h"
#include "app/cli/InterruptGuard.h"
#include "app/cli/LiveLine.h"
#include "app/cli/Terminal.h"
#include "app/cli/TraceOutput.h"
#include "app/qt/FlashToolApplication.h"
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
    const std::string program = ProgramName(ProgramKind::Emulated);
    const std::string version = BuildVersionText();
    const CliStart start = ReadCliOptions(argc, argv, program, true, version.c_str());
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    // Before any thread starts (the toolkit's among them), so that every thread inherits the
    // blocked signals: the window and the command line both read them on a thread of their
    // own, and refuse them while a drive is written.
    BlockInterruptSignals();
    // The drives' latencies and delays are real time here: the program really waits. A
    // drive takes an image with no header of this project's synthetic firmware (a real one)
    // at the revision this build installs.
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

    // With --json standard output carries only JSON: the restart's and the keep-awake
    // lock's lines go to standard error with the trace. Either way around the command
    // line's status line.
    DiagnosticSink& diagnostics =
        start.options.json ? ProcessStandardError() : ProcessStandardOutput();
    EmulatedRestart restart(diagnostics);
    EmulatedInhibitor inhibitor(diagnostics);
    if (start.options.action != CliAction::Window) {
        return RunCommandLineMain(
            start.options, program,
            [&drives](DiagnosticSink& trace) {
                return std::make_unique<EmulatedBackend>(drives, trace);
            },
            restart, inhibitor, false);
    }
    // With --trace the window's trace lines go there instead of standard output.
    const TraceOutput trace = OpenTraceOutput(start.options.trace, program);
    if (!trace.error.empty()) {
        std::fprintf(stderr, "%s\n", trace.error.c_str());
        return kExitUsage;
    }
    // Qt takes no option of ours: the window gets the program's name only.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    DiagnosticSink& traceLines = trace.sink ? *trace.sink : diagnostics;
    // The drives are new at every start: a history is kept, as on the command line, only
    // where FLASHTOOL_HISTORY_DIR names its place.
    std::optional<HistoryStore> history;
    if (std::getenv("FLASHTOOL_HISTORY_DIR") != nullptr) {
        history = HistoryStore::ForThisProcess(program);
    }
    // No lock: the virtual drives are this process's own, and demos and test runs may
    // run side by side.
    return RunFlashTool(
        qtArgc, qtArgv, program, false,
        [&] { return std::make_unique<EmulatedBackend>(drives, traceLines); }, restart, inhibitor,
        diagnostics,
        [&restart, &history](FlashDialog& dialog) {
            restart.SetLog([&dialog](std::string_view line) { dialog.AppendLog(line); });
            if (history) {
                dialog.KeepHistory(&*history, std::string(ThisBuild().programVersion), true);
            }
        });
}
