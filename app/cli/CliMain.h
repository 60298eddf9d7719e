#pragma once

// What both executables' main() do before anything else: read the options, answer --help
// and --version, refuse a bad option, and run a command-line action with no display at
// all. Only the window (no action) is left to the toolkit.

#include <optional>
#include <string>

#include "app/cli/CommandLine.h"

namespace flashtool {

struct CliStart {
    std::optional<int> exitStatus;  // set: the program ends here with it
    CliOptions options;
};

CliStart ReadCliOptions(int argc, char* argv[], const std::string& program, bool takesDrivesFile,
                        const char* version);

// Runs the action over the process's terminal, standard output and the real clock, with
// the program's single-instance lock held when `singleInstance` says the program takes one
// (the window and the command line share it; --list and --history take
// none). Interrupting signals are
// read on a thread of its own from here on (InterruptGuard): main must have blocked them.
// `makeBackend` is handed the sink its trace lines go to: --trace's destination when the
// options give one, else the action's own output.
int RunCommandLineMain(
    const CliOptions& options, const std::string& program,
    const std::function<std::unique_ptr<PassThroughBackend>(DiagnosticSink&)>& makeBackend,
    SystemRestart& restart, SleepInhibitor& inhibitor, bool singleInstance);

}  // namespace flashtool
