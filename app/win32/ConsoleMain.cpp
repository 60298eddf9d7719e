// <package>-cli.exe (flashtool-cli.exe for the demo build): the product's command line on
// Windows, a console program beside the window's <package>.exe. A console program, rather
// than the window program attaching to its parent's console, because only a console program
// gives cmd.exe, PowerShell and a remote shell its standard output and its exit status in
// order: a window program returns to the prompt at once. Every action, option, JSON document
// and exit status is the Linux program's (app/cli); the drives are reached through SPTI (ASPI
// where there is none), as by the window.

#include <string>

#include "app/cli/CliMain.h"
#include "app/win32/ConsoleHint.h"
#include "app/win32/ConsoleStreams.h"
#include "app/win32/ExecutionStateInhibitor.h"
#include "app/windows/WindowsRestart.h"
#include "data/BuildIdentity.h"
#include "transport/TracingBackend.h"
#include "transport/windows/WindowsBackend.h"

int main(int argc, char* argv[]) {
    using namespace flashtool;
    win32::PrepareConsoleStreams();
    // The program's name is the package's, as on Linux: the lock and the history it shares
    // with the window, and the lines scripts match, are the same on both systems.
    const std::string program = ProgramName(ProgramKind::Native);
    const std::string version = BuildVersionText();
    const CliStart start = ReadCliOptions(argc, argv, program, false, version.c_str());
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    if (start.options.action == CliAction::Window) {
        return win32::NoWindowHere(program);
    }
    SystemClock clock;
    const bool tracing = start.options.trace.has_value();
    auto makeBackend = [&clock, tracing](DiagnosticSink& trace) {
        std::unique_ptr<PassThroughBackend> backend =
            MakeWindowsBackend(MakeSystemWin32Api(), clock);
        if (tracing) {
            backend = std::make_unique<TracingBackend>(std::move(backend), trace);
        }
        return backend;
    };
    WindowsRestart restart(MakeSystemRestartApi());
    win32::ExecutionStateInhibitor inhibitor;
    return RunCommandLineMain(start.options, program, makeBackend, restart, inhibitor, true);
}
