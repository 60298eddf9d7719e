// --all: every drive this build can update, each on a worker of its own with a back-end of
// its own (OneDriveBackend), all at once. The notice is asked once, before any drive is
// touched; the restart, if one is wanted, only when every drive has finished.

#include <thread>

#include "app/cli/DriveSession.h"
#include "app/cli/JsonText.h"
#include "app/cli/OneDriveBackend.h"
#include "app/cli/ProgressDisplay.h"
#include "core/Format.h"

namespace flashtool {

namespace {

struct Target {
    uint8_t row = 0;
    DriveIdentity identity;
    std::string identification;
    std::string revision;
};

// The notice, then the scan: the drives this build can update. Declining the notice ends
// the program before any drive is touched, as in the window.
std::optional<std::vector<Target>> Survey(CliEnvironment& environment, Prompter& prompter,
                                          ProgressDisplay& progress, RunDocument& document) {
    int& status = document.exitStatus;
    PrefixedLines scanLines(progress, "[scan] ");
    DriveSession survey(environment, prompter, &scanLines, scanLines, scanLines, environment.clock,
                        environment.makeBackend(scanLines));
    FlashDialog& dialog = survey.dialog;
    if (!dialog.ShowStartupNotice(dialog.Brand())) {
        dialog.ReportResult(ResultCode::UserCancelled);
        status = ExitStatusOf(RunEnding::Refusal(ResultCode::UserCancelled));
        document.summary = "cancelled";
        return std::nullopt;
    }
    if (!dialog.Transport().LoadBackend()) {
        status = kExitUsage;
        return std::nullopt;
    }
    dialog.FillDriveTree();
    std::vector<Target> targets;
    for (uint8_t row = 0; row < survey.window.DriveCount(); ++row) {
        if (survey.window.DriveGreyed(row)) {
            continue;
        }
        const std::vector<std::string> names = dialog.Transport().NodeNames(row);
        targets.push_back(Target{row,
                                 DriveIdentity{names.empty() ? "" : names.front(),
                                               dialog.Transport().Device(row).handle, row},
                                 IdentificationOf(dialog, row), RevisionOf(dialog, row)});
    }
    if (targets.empty()) {
        document.error = dialog.Transport().DeviceCount() == 0
                             ? std::string(kNoDriveHint)
                             : std::string("no drive this build can update");
        environment.err.Write(environment.program + ": " + *document.error + "\n");
        status = kExitUsage;
        return std::nullopt;
    }
    return targets;
    // The survey's handles close here, before any worker claims its drive.
}

// One drive's whole story on its own thread: start-up (the notice already answered), the
// selection of its only row, Upgrade, the run.
struct DriveWorker {
    DriveWorker(const CliOptions& options, CliEnvironment& environment, Prompter& prompter,
                ProgressDisplay& progress, const Target& targetIn)
        : target(targetIn),
          lines(progress, FormatText("[%u] ", target.row)),
          clock(environment.clock, progress, target.row),
          detail(options.quiet ? static_cast<DiagnosticSink&>(discarded) : lines),
          session(
              environment, prompter, options.json || options.quiet ? nullptr : &lines, lines,
              detail, clock,
              std::make_unique<OneDriveBackend>(environment.makeBackend(detail), target.identity),
              false) {
        session.window.OnTransferProgress(
            [&progress, row = target.row](uint32_t done, uint32_t total) {
                progress.PagesTaken(row, done, total);
            });
    }

    void Run() {
        if (session.Start() && session.window.DriveCount() == 1) {
            session.Upgrade(0);
        }
        lines.Flush();
    }

    DriveReport Report() {
        DriveReport report;
        report.row = target.row;
        report.identification = target.identification;
        report.revisionBefore = target.revision;
        report.revisionAfter =
            session.dialog.Transport().DeviceCount() == 1 ? RevisionOf(session.dialog, 0) : "";
        report.ending = session.dialog.LastEnding();
        report.log = session.window.LogLines();
        return report;
    }

    Target target;
    PrefixedLines lines;
    CountdownClock clock;
    DiscardedLines discarded;
    DiagnosticSink& detail;  // the run's and the back-end's lines: `lines`, or none (--quiet)
    DriveSession session;
};

int RunAll(const CliOptions& options, CliEnvironment& environment, RunDocument& document) {
    // Every drive's restart question is Cancel: the computer restarts, if at all, once the
    // last drive has finished.
    Prompter prompter(environment.terminal,
                      {options.yes, options.allowReinstall, options.allowOlder, false});
    DiagnosticSink& lines = options.json ? environment.err : environment.out;
    ProgressDisplay progress(lines, environment.terminal.DrawsProgress() && !options.json);
    const auto targets = Survey(environment, prompter, progress, document);
    if (!targets) {
        return document.exitStatus;
    }
    std::vector<std::unique_ptr<DriveWorker>> workers;
    for (const Target& target : *targets) {
        workers.push_back(
            std::make_unique<DriveWorker>(options, environment, prompter, progress, target));
    }
    std::vector<std::thread> threads;
    for (auto& worker : workers) {
        threads.emplace_back([&worker] { worker->Run(); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    progress.Finish();
    std::vector<RunEnding> endings;
    RunEnding worst = RunEnding::Of(RunEndingKind::Updated);
    for (auto& worker : workers) {
        const DriveReport report = worker->Report();
        endings.push_back(report.ending);
        if (Severity(report.ending) > Severity(worst)) {
            worst = report.ending;
        }
        lines.Write(EndingLine(report.ending, FormatText("drive %d", report.row),
                               report.revisionBefore, report.revisionAfter,
                               worker->session.dialog.Config().NewRevision()) +
                    "\n");
        document.drives.push_back(ReportJson(report));
    }
    if (prompter.RestartPending() && !options.restart) {
        lines.Write(std::string(kRestartNeeded) + "\n");
    }
    // The summary is what a glance at the terminal finds; the restart, if asked for, comes
    // after the document (RunCommandLine).
    lines.Write(SummaryLine(endings) + "\n");
    environment.restartWanted = prompter.RestartPending() && options.restart;
    document.summary = SummaryLine(endings);
    document.exitStatus = ExitStatusOf(worst);
    return document.exitStatus;
}

}  // namespace

int UpdateAll(const CliOptions& options, CliEnvironment& environment) {
    return WithDocument("all", options, environment, [&](RunDocument& document) {
        return RunAll(options, environment, document);
    });
}

}  // namespace flashtool
