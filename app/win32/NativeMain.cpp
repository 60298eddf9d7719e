// flashtool.exe: the product, over the system's SCSI pass-through (SPTI) or the ASPI
// library, restarting Windows when the upgrade asks for it.

#include "app/win32/ExecutionStateInhibitor.h"
#include "app/win32/Win32Application.h"
#include "app/windows/WindowsRestart.h"
#include "transport/windows/WindowsBackend.h"

int main() {
    using namespace flashtool;
    StdoutDiagnostics diagnostics;
    WindowsRestart restart(MakeSystemRestartApi());
    win32::ExecutionStateInhibitor inhibitor;
    SystemClock clock;
    return win32::RunFlashTool(
        true, [&clock] { return MakeWindowsBackend(MakeSystemWin32Api(), clock); }, restart,
        inhibitor, clock, diagnostics);
}
