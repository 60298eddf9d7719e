// <package>-emulated.exe (flashtool-emulated.exe for the demo build): the Windows program
// over the virtual drives of the Linux emulated program. With no option they are the build's own
// (the demo's three in the demo build); `--drives FILE` reads them from a scenario file instead
// (scenarios/README.md), and a wrong file stops the program before its window with one line on
// standard error. Every command's trace line goes to standard output, exactly as there; a restart
// is only reported, never carried out.

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/win32/ConsoleHint.h"
#include "app/win32/Win32Application.h"
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
    // Lines end in LF alone, as the Linux program's do (the tests compare them).
    _setmode(_fileno(stderr), _O_BINARY);
    // The drives' latencies and delays are real time here: the program really waits. A
    // drive takes an image with no header of this project's synthetic firmware (a real one)
    // at the revision this build installs.
    static SystemClock driveClock;
    const std::string program = ProgramName(ProgramKind::Emulated);
    std::optional<std::string> file;
    if (argc == 3 && std::string_view(argv[1]) == "--drives") {
        file = argv[2];
    } else if (argc != 1) {
        // Every other option is the command line's, which is the console program's.
        return win32::PointToConsoleProgram(program);
    }
    const auto config = BuildConfig::FromBytes(EmbeddedStoredRegion());
    EmulatedDrives loaded =
        LoadEmulatedDrives(file, EmbeddedDriveScenario(),
                           config ? std::string(config->NewRevision()) : "", &driveClock);
    if (!loaded.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), loaded.error.c_str());
        return kBadScenario;
    }
    std::vector<std::shared_ptr<VirtualDrive>> drives = std::move(loaded.drives);

    StdoutDiagnostics diagnostics;
    EmulatedRestart restart(diagnostics);
    EmulatedInhibitor inhibitor(diagnostics);
    SystemClock clock;
    // No lock: the virtual drives are this process's own, and demos and test runs may
    // run side by side.
    return win32::RunFlashTool(
        program, false, [&] { return std::make_unique<EmulatedBackend>(drives, diagnostics); },
        restart, inhibitor, clock, diagnostics,
        [&restart](FlashDialog& dialog) {
            restart.SetLog([&dialog](std::string_view line) { dialog.AppendLog(line); });
        });
}
