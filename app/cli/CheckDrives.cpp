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

struct CheckSurvey {
    std::vector<CheckTarget> targets;
    std::vector<uint8_t> otherModels;  // every drive: those --all would leave alone
};

// The scan, as --list makes it (no notice: nothing here changes a drive), and the drives
// asked about: the one named, or every drive of this build's model, as --all takes them.
// Nothing when the drive named is not there or the drives cannot be reached.
std::optional<CheckSurvey> Targets(const CliOptions& options, CliEnvironment& environment,
                                   DiagnosticSink& lines, RunDocument& document) {
    Prompter prompter(environment.terminal, {});
    // What the scan has to say goes to standard error, as --list says it.
    DriveSession scan(environment, prompter, &environment.err, lines, lines, environment.clock,
                      environment.makeBackend(lines));
    FlashDialog& dialog = scan.dialog;
    if (!dialog.Transport().LoadBackend()) {
        EndEarly(environment, document, kExitUsage, "the drives could not be reached");
        return std::nullopt;
    }
    dialog.FillDriveTree();
    if (dialog.Transport().DeviceCount() == 0) {
        EndEarly(environment, document, kExitUsage, NoDriveError(dialog));
        return std::nullopt;
    }
    CheckSurvey survey;
    std::vector<uint8_t> rows;
    if (options.drives.empty()) {
        const DrivesByModel byModel = SortByModel(scan.window);
        rows = byModel.thisModel;
        survey.otherModels = byModel.otherModels;
        if (rows.empty()) {
            EndEarly(environment, document, kExitUsage, std::string(kNoDriveToUpdate));
            return std::nullopt;
        }
    } else if (const auto row = FindDrive(dialog, options.drives.front())) {
        rows.push_back(*row);
    } else {
        EndEarly(environment, document, kExitUsage, NoSuchDrive(options.drives.front()));
        return std::nullopt;
    }
    for (const uint8_t row : rows) {
        const std::vector<std::string> names = dialog.Transport().NodeNames(row);
        survey.targets.push_back({DriveIdentity{names.empty() ? "" : names.front(),
                                                dialog.Transport().Device(row).handle, row},
                                  IdentificationOf(dialog, row), RevisionOf(dialog, row)});
    }
    return survey;
}

int Check(const CliOptions& options, CliEnvironment& environment, RunDocument& document) {
    DiagnosticSink& lines = options.json ? environment.err : environment.out;
    const auto survey = Targets(options, environment, lines, document);
    if (!survey) {
        return document.exitStatus;
    }
    // The revision questions are answered as an update with the same options would answer
    // them; there is no confirmation to answer, since no run starts.
    Prompter prompter(environment.terminal,
                      {false, options.allowReinstall, options.allowOlder, false});
    std::vector<RunEnding> endings;
    DiscardedLines discarded;
    DiagnosticSink& detail = options.quiet ? static_cast<DiagnosticSink&>(discarded) : lines;
    RunEnding worst = RunEnding::Of(RunEndingKind::WouldUpdate);
    for (const CheckTarget& target : survey->targets) {
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
    for (const uint8_t row : survey->otherModels) {
        lines.Write(FormatText("drive %u: ", row) + std::string(kOtherModel) + "; left alone.\n");
    }
    document.summary = SummaryLine(endings, survey->otherModels.size());
    if (options.drives.empty()) {
        lines.Write(document.summary + "\n");
    }
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
