#pragma once

// The command line's actions: --list, --update DRIVE and --all, over the same FlashDialog
// handlers the window runs (start-up, selection, Upgrade, the run), with TerminalWindow as
// the window. Nothing here opens a display.

#include <functional>
#include <memory>
#include <span>
#include <string>

#include "app/cli/CliOptions.h"
#include "app/cli/LiveLine.h"
#include "app/cli/Terminal.h"
#include "core/Clock.h"
#include "core/SleepInhibitor.h"
#include "core/SystemRestart.h"
#include "core/WriteWindow.h"
#include "history/HistoryStore.h"
#include "transport/PassThroughBackend.h"

namespace flashtool {

struct CliEnvironment {
    // A fresh back-end over every drive, writing its trace (if it has one) to the sink:
    // one for the scan, and one per drive for --all.
    std::function<std::unique_ptr<PassThroughBackend>(DiagnosticSink&)> makeBackend;
    std::span<const uint8_t> storedRegion;
    SystemRestart& restart;
    SleepInhibitor& inhibitor;
    Clock& clock;
    DiagnosticSink& out;  // standard output
    DiagnosticSink& err;  // standard error
    Terminal& terminal;
    std::string program;  // the executable's name, for error lines
    // The history of runs (none: not kept) and the program's version for its records.
    const HistoryStore* history = nullptr;
    std::string version;
    // The program's write window, shared by every drive's run (none: each run has its own).
    WriteWindow* writeWindow = nullptr;
    // An update ended and --restart asked for the restart: done once all is said.
    bool restartWanted = false;
    // The terminal's status line (none: progress is never drawn). `out` and `err` must go
    // around it (AroundLiveLine), so that no line runs into it.
    LiveLine* liveLine = nullptr;
    // The program that replays what --record writes (the build's emulated program).
    std::string emulatedProgram;
};

// Runs a List, Update or All action; the exit status.
int RunCommandLine(const CliOptions& options, CliEnvironment& environment);

// The one JSON document of an action that ended before it began (another copy running, a
// trace file that cannot be written), with `error` as its reason; empty when --json was not
// given or the action prints no document.
std::string EarlyEndJson(const CliOptions& options, std::span<const uint8_t> storedRegion,
                         int status, const std::string& error);

// The document of a command line that could not be read, when its words asked for JSON:
// `parsed` holds what was read before the error (its action, where it got that far).
std::string UsageErrorJson(const CliOptions& parsed, std::span<const uint8_t> storedRegion,
                           const std::string& error);

// What a restart that was not asked for leaves to the operator. Running the update again
// would find the drive up to date: the restart is the operator's to do.
inline constexpr std::string_view kRestartNeeded =
    "A restart is needed to finish the update: restart the computer now (next time, --restart "
    "restarts it at the end of the update).";

}  // namespace flashtool
