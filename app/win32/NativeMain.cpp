// The product (<package>.exe, flashtool.exe for the demo build), over the system's SCSI
// pass-through (SPTI) or the ASPI library, restarting Windows when the upgrade asks for it.

#include <optional>
#include <string>

#include "app/win32/ConsoleHint.h"
#include "app/win32/ExecutionStateInhibitor.h"
#include "app/win32/Win32Application.h"
#include "app/windows/WindowsRestart.h"
#include "data/BuildIdentity.h"
#include "history/HistoryStore.h"
#include "transport/windows/WindowsBackend.h"

int main(int argc, char* /*argv*/[]) {
    using namespace flashtool;
    const std::string program = ProgramName(ProgramKind::Native);
    // Options are the command line's, which is the console program's.
    if (argc > 1) {
        return win32::PointToConsoleProgram(program);
    }
    StdoutDiagnostics diagnostics;
    WindowsRestart restart(MakeSystemRestartApi());
    win32::ExecutionStateInhibitor inhibitor;
    SystemClock clock;
    // The same history as the Linux program keeps, under %LOCALAPPDATA%, settled at
    // start-up: a run whose drive showed its new revision only after the restart is
    // verified by the next start.
    const std::optional<HistoryStore> history = HistoryStore::ForThisProcess(program);
    return win32::RunFlashTool(
        program, true, [&clock] { return MakeWindowsBackend(MakeSystemWin32Api(), clock); },
        restart, inhibitor, clock, diagnostics,
        [&history](FlashDialog& dialog) {
            dialog.KeepHistory(history ? &*history : nullptr,
                               std::string(ThisBuild().programVersion), true);
        });
}
