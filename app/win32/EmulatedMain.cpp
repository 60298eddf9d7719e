// flashtool-emulated.exe: the Windows program over the virtual drives of the Linux
// flashtool-emulated. Every command's trace line goes to standard output, exactly as
// there; a restart is only reported, never carried out.

#include "emulator/EmulatedInhibitor.h"
#include "emulator/EmulatedRestart.h"
#include "app/win32/Win32Application.h"
#include "emulator/DemoDrives.h"
#include "emulator/EmulatedBackend.h"

int main() {
    using namespace flashtool;
    StdoutDiagnostics diagnostics;
    EmulatedRestart restart(diagnostics);
    EmulatedInhibitor inhibitor(diagnostics);
    SystemClock clock;
    return win32::RunFlashTool(
        std::make_unique<EmulatedBackend>(MakeDemoDrives(), diagnostics), restart, inhibitor, clock,
        diagnostics, [&restart](FlashDialog& dialog) {
            restart.SetLog([&dialog](std::string_view line) { dialog.AppendLog(line); });
        });
}
