// flashtool-emulated: the program over three virtual drives (this build's target at an
// older revision and two drives it cannot update). Every command's trace line goes to
// standard output; a restart is only reported, never carried out.

#include "app/EmulatedInhibitor.h"
#include "app/EmulatedRestart.h"
#include "app/qt/FlashToolApplication.h"
#include "emulator/DemoDrives.h"
#include "emulator/EmulatedBackend.h"

int main(int argc, char* argv[]) {
    using namespace flashtool;
    StdoutDiagnostics diagnostics;
    EmulatedRestart restart(diagnostics);
    EmulatedInhibitor inhibitor(diagnostics);
    return RunFlashTool(
        argc, argv, std::make_unique<EmulatedBackend>(MakeDemoDrives(), diagnostics), restart,
        inhibitor, diagnostics, [&restart](FlashDialog& dialog) {
            restart.SetLog([&dialog](std::string_view line) { dialog.AppendLog(line); });
        });
}
