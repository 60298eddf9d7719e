// --all: every drive of this build's model; --update with several drives: the drives named,
// each once. Each drive runs on a worker of its own, with a back-end of its own
// (OneDriveBackend) and a dialog of its own, all at once: the workers are made on their own
// threads too, so that no drive waits for another's to be made. The notice is asked once,
// before any drive is changed; the restart, if one is wanted, only when every drive has
// finished.

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

// The drives to run, and (--all) the drives of other models it leaves alone.
struct Survey {
    std::vector<Target> targets;
    std::vector<uint8_t> otherModels;
};

bool AskNotice(FlashDialog& dialog, RunDocument& document) {
    if (dialog.ShowStartupNotice(dialog.Brand())) {
        return true;
    }
    dialog.ReportResult(ResultCode::UserCancelled);
    document.exitStatus = ExitStatusOf(RunEnding::Refusal(ResultCode::UserCancelled));
    document.summary = "cancelled";
    return false;
}

// --all asks the notice first: declining it ends the program before any drive is touched,
// as in the window. Drives named on the command line are found first, so that a word that
// names no drive is said before anything is asked; then the notice.
std::optional<Survey> SurveyDrives(const CliOptions& options, CliEnvironment& environment,
                                   Prompter& prompter, ProgressDisplay& progress,
                                   RunDocument& document) {
    const bool named = options.action == CliAction::Update;
    PrefixedLines scanLines(progress, "[scan] ");
    // What the scan has to say goes to standard error, as --list says it.
    DriveSession survey(environment, prompter, &environment.err, scanLines, scanLines,
                        environment.clock, environment.makeBackend(scanLines));
    FlashDialog& dialog = survey.dialog;
    if (!named && !AskNotice(dialog, document)) {
        return std::nullopt;
    }
    if (!dialog.Transport().LoadBackend()) {
        EndEarly(environment, document, kExitUsage, "the drives could not be reached");
        return std::nullopt;
    }
    dialog.FillDriveTree();
    if (dialog.Transport().DeviceCount() == 0) {
        EndEarly(environment, document, kExitUsage, NoDriveError(dialog));
        return std::nullopt;
    }
    Survey found;
    std::vector<uint8_t> rows;
    if (named) {
        const NamedDrives drives = FindDrives(dialog, options.drives);
        if (drives.unknown) {
            EndEarly(environment, document, kExitUsage, NoSuchDrive(*drives.unknown));
            return std::nullopt;
        }
        rows = drives.rows;
    } else {
        const DrivesByModel byModel = SortByModel(survey.window);
        rows = byModel.thisModel;
        found.otherModels = byModel.otherModels;
        if (rows.empty()) {
            EndEarly(environment, document, kExitUsage, std::string(kNoDriveToUpdate));
            return std::nullopt;
        }
    }
    for (const uint8_t row : rows) {
        const std::vector<std::string> names = dialog.Transport().NodeNames(row);
        found.targets.push_back(Target{row,
                                       DriveIdentity{names.empty() ? "" : names.front(),
                                                     dialog.Transport().Device(row).handle, row},
                                       IdentificationOf(dialog, row), RevisionOf(dialog, row)});
    }
    if (named && !AskNotice(dialog, document)) {
        return std::nullopt;
    }
    return found;
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

ProgressDisplay::Outcome OutcomeOf(const RunEnding& ending) {
    switch (ending.kind) {
        case RunEndingKind::Updated:
        case RunEndingKind::UpToDate:
        case RunEndingKind::WouldUpdate:
            return ProgressDisplay::Outcome::Done;
        case RunEndingKind::Refused:
            return ProgressDisplay::Outcome::Refused;
        case RunEndingKind::NothingSent:
        case RunEndingKind::NotConfirmed:
        case RunEndingKind::Failed:
            break;
    }
    return ProgressDisplay::Outcome::Failed;
}

// Every target's worker, made and run on a thread of its own; returns once all have ended.
std::vector<std::unique_ptr<DriveWorker>> RunWorkers(const CliOptions& options,
                                                     CliEnvironment& environment,
                                                     Prompter& prompter, ProgressDisplay& progress,
                                                     const std::vector<Target>& targets) {
    std::vector<std::unique_ptr<DriveWorker>> workers(targets.size());
    std::vector<std::thread> threads;
    threads.reserve(targets.size());
    for (size_t n = 0; n < targets.size(); ++n) {
        threads.emplace_back([&, n] {
            workers[n] =
                std::make_unique<DriveWorker>(options, environment, prompter, progress, targets[n]);
            workers[n]->Run();
            progress.Ended(targets[n].row, OutcomeOf(workers[n]->session.dialog.LastEnding()));
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return workers;
}

int RunMany(const CliOptions& options, CliEnvironment& environment, RunDocument& document) {
    // Every drive's restart question is Cancel: the computer restarts, if at all, once the
    // last drive has finished.
    Prompter prompter(environment.terminal,
                      {options.yes, options.allowReinstall, options.allowOlder, false});
    DiagnosticSink& lines = options.json ? environment.err : environment.out;
    ProgressDisplay progress(lines, ProgressOutputFor(options, environment));
    const auto survey = SurveyDrives(options, environment, prompter, progress, document);
    if (!survey) {
        return document.exitStatus;
    }
    std::vector<unsigned> rows;
    for (const Target& target : survey->targets) {
        rows.push_back(target.row);
    }
    progress.AddDrives(rows);
    const auto workers = RunWorkers(options, environment, prompter, progress, survey->targets);
    progress.Finish();
    // Each drive's last line, in the list's order; the drives of other models among them.
    std::vector<std::pair<uint8_t, std::string>> endingLines;
    for (const uint8_t row : survey->otherModels) {
        endingLines.emplace_back(
            row, FormatText("drive %u: ", row) + std::string(kOtherModel) + "; left alone.");
    }
    std::vector<RunEnding> endings;
    RunEnding worst = RunEnding::Of(RunEndingKind::Updated);
    for (const auto& worker : workers) {
        const DriveReport report = worker->Report();
        endings.push_back(report.ending);
        if (Severity(report.ending) > Severity(worst)) {
            worst = report.ending;
        }
        endingLines.emplace_back(
            report.row,
            EndingLine(report.ending, FormatText("drive %d", report.row), report.revisionBefore,
                       report.revisionAfter, worker->session.dialog.Config().NewRevision()));
        document.drives.push_back(ReportJson(report));
    }
    std::stable_sort(endingLines.begin(), endingLines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [row, line] : endingLines) {
        lines.Write(line + "\n");
    }
    if (prompter.RestartPending() && !options.restart) {
        lines.Write(std::string(kRestartNeeded) + "\n");
    }
    // The summary is what a glance at the terminal finds; the restart, if asked for, comes
    // after the document (RunCommandLine).
    document.summary = SummaryLine(endings, survey->otherModels.size());
    lines.Write(document.summary + "\n");
    environment.restartWanted = prompter.RestartPending() && options.restart;
    document.exitStatus = ExitStatusOf(worst);
    return document.exitStatus;
}

}  // namespace

int UpdateAll(const CliOptions& options, CliEnvironment& environment) {
    return WithDocument("all", options, environment, [&](RunDocument& document) {
        return RunMany(options, environment, document);
    });
}

int UpdateSeveral(const CliOptions& options, CliEnvironment& environment) {
    return WithDocument("update", options, environment, [&](RunDocument& document) {
        return RunMany(options, environment, document);
    });
}

}  // namespace flashtool
