// The product (named after the build's package: flashtool for the demo build), over the
// system's own pass-through (SG_IO on Linux).

#include <QCoreApplication>
#include <cstdio>
#include <optional>

#include "app/cli/CliMain.h"
#include "app/cli/InterruptGuard.h"
#include "app/cli/TraceOutput.h"
#include "app/qt/FlashToolApplication.h"
#include "app/qt/LogindInhibitor.h"
#include "app/qt/LogindRestart.h"
#include "data/BuildIdentity.h"
#include "transport/TracingBackend.h"
#include "transport/linux/SgIoBackend.h"

int main(int argc, char* argv[]) {
    using namespace flashtool;
    // The options are read before any toolkit exists, so that every option works without a
    // display (in a terminal over ssh, in a package test, on a system with no desktop).
    const std::string program = ProgramName(ProgramKind::Native);
    const std::string version = BuildVersionText();
    const CliStart start = ReadCliOptions(argc, argv, program, false, version.c_str());
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    // Before any thread starts (the toolkit's among them), so that every thread inherits the
    // blocked signals: the window and the command line both read them on a thread of their
    // own, and refuse them while a drive is written.
    BlockInterruptSignals();
    const bool tracing = start.options.trace.has_value();
    // The system's pass-through, with --trace's line for every command it carries.
    auto makeBackend = [tracing](DiagnosticSink& trace) -> std::unique_ptr<PassThroughBackend> {
        auto backend = std::make_unique<SgIoBackend>();
        if (!tracing) {
            return backend;
        }
        return std::make_unique<TracingBackend>(std::move(backend), trace);
    };
    LogindRestart restart;
    LogindInhibitor inhibitor;
    if (start.options.action != CliAction::Window) {
        // The login manager is asked over D-Bus, which wants an application object; a core
        // one opens no display.
        QCoreApplication core(argc, argv);
        return RunCommandLineMain(start.options, program, makeBackend, restart, inhibitor, true);
    }
    StdoutDiagnostics diagnostics;
    // Opened once the lock is held: a second copy must leave the first one's file alone.
    std::optional<TraceOutput> trace;
    auto openBackend = [&]() -> std::unique_ptr<PassThroughBackend> {
        trace = OpenTraceOutput(start.options.trace, program);
        if (!trace->error.empty()) {
            std::fprintf(stderr, "%s\n", trace->error.c_str());
            return nullptr;
        }
        return makeBackend(trace->sink ? *trace->sink : diagnostics);
    };
    // The window keeps the same history as the command line, and settles it at start-up.
    const std::optional<HistoryStore> history = HistoryStore::ForThisProcess(program);
    return RunFlashTool(argc, argv, program, true, openBackend, restart, inhibitor, diagnostics,
                        [&history](FlashDialog& dialog) {
                            dialog.KeepHistory(history ? &*history : nullptr,
                                               std::string(ThisBuild().programVersion), true);
                        });
}
