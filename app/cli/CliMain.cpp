#include "app/cli/CliMain.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "app/cli/InterruptGuard.h"
#include "app/cli/LiveLine.h"
#include "app/cli/Terminal.h"
#include "app/cli/TraceOutput.h"
#include "core/InstanceLock.h"
#include "data/BuildIdentity.h"
#include "data/EmbeddedRegion.h"

namespace flashtool {

CliStart ReadCliOptions(int argc, char* argv[], const std::string& program, bool takesDrivesFile,
                        const char* version) {
    const CliParse parse = ParseCommandLine(
        std::span<char* const>(argv + 1, argc > 1 ? argc - 1 : 0), takesDrivesFile);
    CliStart start{std::nullopt, parse.options};
    StdoutDiagnostics out;
    StderrDiagnostics err;
    if (!parse.error.empty()) {
        // One line for what was wrong and one for where to read more, as tools on the
        // command line do; the whole usage would push the reason off the screen.
        err.Write(program + ": " + parse.error + "\nTry '" + program +
                  " --help' for more information.\n");
        // A script that asked for JSON reads a document whatever went wrong.
        const auto words = std::span<char* const>(argv + 1, argc > 1 ? argc - 1 : 0);
        if (parse.options.json || std::any_of(words.begin(), words.end(), [](const char* word) {
                return std::string_view(word) == "--json";
            })) {
            out.Write(UsageErrorJson(parse.options, EmbeddedStoredRegion(), parse.error));
        }
        start.exitStatus = kExitBadUsage;
    } else if (parse.options.action == CliAction::Help) {
        out.Write(UsageText(program, ProgramName(ProgramKind::Emulated), takesDrivesFile));
        start.exitStatus = 0;
    } else if (parse.options.action == CliAction::Version) {
        out.Write(program + " " + version + "\n");
        start.exitStatus = 0;
    }
    // -v shows each command as it is sent: the trace lines, on standard error.
    if (start.options.verbosity > 0 && !start.options.trace) {
        start.options.trace = std::string();
    }
    return start;
}

int RunCommandLineMain(
    const CliOptions& options, const std::string& program,
    const std::function<std::unique_ptr<PassThroughBackend>(DiagnosticSink&)>& makeBackend,
    SystemRestart& restart, SleepInhibitor& inhibitor, bool singleInstance) {
    // Both streams go around the status line that progress may draw on the terminal.
    DiagnosticSink& out = ProcessStandardOutput();
    DiagnosticSink& err = ProcessStandardError();
    // From here on an interrupt ends the program only while no drive is being written; once
    // one has been, the rest of the program (its closing lines, its JSON document and its
    // exit status) belongs to the run, and nothing but the end of main ends it.
    WriteWindow writeWindow;
    writeWindow.StayOpenOnceOpened();
    InterruptGuard interrupts(err, program, writeWindow);
    // With --json an interrupt still leaves the one document a script reads.
    interrupts.BeforeEnding([&options, &out](std::string_view reason) {
        out.Write(
            EarlyEndJson(options, EmbeddedStoredRegion(), kExitInterrupted, std::string(reason)));
    });
    // --list changes no drive, and a drive being written is held with O_EXCL, which keeps
    // its open (and so its questions) out: it may run beside a copy that updates. So may
    // --history, which only reads.
    const bool locks =
        singleInstance && options.action != CliAction::List && options.action != CliAction::History;
    std::unique_ptr<InstanceLock> lock;
    if (locks) {
        lock = InstanceLock::Acquire(program);
    }
    if (lock) {
        for (const std::string& notice : lock->Notices()) {
            err.Write(program + ": " + notice + "\n");
        }
    }
    if (locks && !lock) {
        writeWindow.Finishing();
        err.Write(program + ": " + std::string(kAnotherCopyRunning) + "\n");
        out.Write(EarlyEndJson(options, EmbeddedStoredRegion(), kExitUsage,
                               std::string(kAnotherCopyRunning)));
        return kExitUsage;
    }
    // Opened only now, so that a second copy refused above leaves the first one's file alone.
    const TraceOutput trace = OpenTraceOutput(options.trace, program);
    if (!trace.error.empty()) {
        writeWindow.Finishing();
        err.Write(trace.error + "\n");
        const std::string prefix = program + ": ";
        out.Write(EarlyEndJson(
            options, EmbeddedStoredRegion(), kExitUsage,
            trace.error.starts_with(prefix) ? trace.error.substr(prefix.size()) : trace.error));
        return kExitUsage;
    }
    // Every back-end's trace lines go to --trace's destination when one is given.
    auto tracedBackend = [&](DiagnosticSink& lines) {
        return makeBackend(trace.sink ? *trace.sink : lines);
    };
    SystemClock clock;
    // Trace lines on standard error would tear a status line drawn in place on the same
    // terminal: they show the progress instead.
    ProcessTerminal terminal(!(trace.toStandardError && StandardErrorIsTerminal()));
    // The product keeps its history in the user's place. The emulated program's drives are
    // new at every start, so a history across starts would settle runs against drives that
    // were never written: it keeps one only where FLASHTOOL_HISTORY_DIR names it.
    std::optional<HistoryStore> history;
    if (singleInstance || std::getenv("FLASHTOOL_HISTORY_DIR") != nullptr) {
        history = HistoryStore::ForThisProcess(program);
    }
    CliEnvironment environment{tracedBackend,
                               EmbeddedStoredRegion(),
                               restart,
                               inhibitor,
                               clock,
                               out,
                               err,
                               terminal,
                               program,
                               history ? &*history : nullptr,
                               std::string(ThisBuild().programVersion),
                               &writeWindow};
    environment.liveLine = &ProcessLiveLine();
    environment.emulatedProgram = ProgramName(ProgramKind::Emulated);
    return RunCommandLine(options, environment);
}

}  // namespace flashtool
