// --check [DRIVE]: every check an Upgrade press runs, on one drive or on each, and nothing
// that changes a drive. Each drive gets a dialog of its own, as under --all: the checks keep
// values from one press to the next, and one drive's must not decide another's.

#include "app/cli/DriveSession.h"
#include "app/cli/Endings.h"
#include "app/cli/JsonText.h"
#include "app/cli/OneDriveBackend.h"
#include "core/Format.h"

namespace flashtool {

namespace {

struct CheckTarget {
    DriveIdentity identity;
    std::string identification;
    std::string revision;
};

// The scan, as --list makes it (no notice: nothing here changes a drive), and the drives
// asked about. Nothing when the drive named is not there or the drives cannot be reached.
std::optional<std::vector<CheckTarget>> Targets(const CliOptions& options,
                                                CliEnvironment& environment, DiagnosticSink& lines,
                                                RunDocument& document) {
    int& status = document.exitStatus;
    Prompter prompter(environment.terminal, {});
    DriveSession scan(environment, prompter, &lines, lines, lines, environment.clock,
                      environment.makeBackend(lines));
    FlashDialog& dialog = scan.dialog;
    if (!dialog.Transport().LoadBackend()) {
        status = kExitUsage;
        return std::nullopt;
    }
    dialog.FillDriveTree();
    std::vector<uint8_t> rows;
    if (options.drive.empty()) {
        for (uint8_t row = 0; row < scan.window.DriveCount(); ++row) {
            rows.push_back(row);
        }
    } else if (const auto row = FindDrive(dialog, options.drive)) {
        rows.push_back(*row);
    } else {
        document.error = "no drive '" + options.drive + "' (--list shows the drives)";
        environment.err.Write(environment.program + ": " + *document.error + "\n");
        status = kExitUsage;
        return std::nullopt;
    }
    std::vector<CheckTarget> targets;
    for (const uint8_t row : rows) {
        const std::vector<std::string> names = dialog.Transport().NodeNames(row);
        targets.push_back({DriveIdentity{names.empty() ? "" : names.front(),
                                         dialog.Transport().Device(row).handle, row},
                           IdentificationOf(dialog, row), RevisionOf(dialog, row)});
    }
    return targets;
}

int Check(const CliOptions& options, CliEnvironment& environment, RunDocument& document) {
    DiagnosticSink& lines = options.json ? environment.err : environment.out;
    const auto targets = Targets(options, environment, lines, document);
    if (!targets) {
        return document.exitStatus;
    }
    if (targets->empty()) {
        document.error = "no drive to check";
        environment.err.Write(environment.program + ": " + *document.error + "\n");
        return document.exitStatus = kExitUsage;
    }
    // The revision questions are answered as an update with the same options would answer
    // them; there is no confirmation to answer, since no run starts.
    Prompter prompter(environment.terminal,
                      {false, options.allowReinstall, options.allowOlder, false});
    std::vector<RunEnding> endings;
    DiscardedLines discarded;
    DiagnosticSink& detail = options.quiet ? static_cast<DiagnosticSink&>(discarded) : lines;
    RunEnding worst = RunEnding::Of(RunEndingKind::WouldUpdate);
    for (const CheckTarget& target : *targets) {
        const std::string name = FormatText("drive %u", target.identity.row);
        DriveSession session(
            environment, prompter, options.json || options.quiet ? nullptr : &lines, lines, detail,
            environment.clock,
            std::make_unique<OneDriveBackend>(environment.makeBackend(detail), target.identity),
            false);
        FlashDialog& dialog = session.dialog;
        RunEnding ending = RunEnding::Of(RunEndingKind::NothingSent);
        if (dialog.Transport().LoadBackend()) {
            dialog.FillDriveTree();
            if (session.window.DriveCount() == 1) {
                session.window.BeginPress();
                session.window.SelectDrive(0);
                dialog.OnSelectionChanged();
                dialog.OnCheck();
                dialog.WaitForRun();
                ending = dialog.LastEnding();
            }
        }
        endings.push_back(ending);
        if (Severity(ending) > Severity(worst)) {
            worst = ending;
        }
        lines.Write(CheckLine(ending, name, target.revision, dialog.Config().NewRevision()) + "\n");
        DriveReport report;
        report.row = target.identity.row;
        report.identification = target.identification;
        report.revisionBefore = target.revision;
        report.revisionAfter = target.revision;
        report.ending = ending;
        report.log = session.window.LogLines();
        document.drives.push_back(ReportJson(report));
    }
    if (targets->size() > 1) {
        lines.Write(SummaryLine(endings) + "\n");
    }
    document.summary = SummaryLine(endings);
    document.exitStatus = ExitStatusOf(worst);
    return document.exitStatus;
}

}  // namespace

int CheckDrives(const CliOptions& options, CliEnvironment& environment) {
    return WithDocument("check", options, environment, [&](RunDocument& document) {
        return Check(options, environment, document);
    });
}

}  // namespace flashtool
