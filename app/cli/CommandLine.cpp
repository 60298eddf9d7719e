#include "app/cli/CommandLine.h"

#include <algorithm>
#include <optional>

#include "app/cli/DriveSession.h"
#include "app/cli/Endings.h"
#include "app/cli/JsonText.h"
#include "app/cli/OneDriveBackend.h"
#include "app/cli/ProgressDisplay.h"
#include "app/cli/RecordDrives.h"
#include "core/Format.h"

namespace flashtool {

namespace {

template <size_t N>
std::string FieldText(const std::array<char, N>& field, size_t length) {
    const auto end = std::find(field.begin(), field.begin() + length, '\0');
    return std::string(field.begin(), end);
}

}  // namespace

std::optional<uint8_t> FindDrive(FlashDialog& dialog, const std::string& drive) {
    ScsiTransport& transport = dialog.Transport();
    const bool number =
        !drive.empty() && drive.size() <= 3 &&
        std::all_of(drive.begin(), drive.end(), [](char c) { return c >= '0' && c <= '9'; });
    for (uint8_t row = 0; row < transport.DeviceCount(); ++row) {
        const auto names = transport.NodeNames(row);
        if ((number && std::stoi(drive) == row) ||
            std::find(names.begin(), names.end(), drive) != names.end()) {
            return row;
        }
    }
    return std::nullopt;
}

NamedDrives FindDrives(FlashDialog& dialog, std::span<const std::string> drives) {
    NamedDrives named;
    for (const std::string& drive : drives) {
        const std::optional<uint8_t> row = FindDrive(dialog, drive);
        if (!row) {
            named.unknown = drive;
            return named;
        }
        named.rows.push_back(*row);
    }
    std::sort(named.rows.begin(), named.rows.end());
    named.rows.erase(std::unique(named.rows.begin(), named.rows.end()), named.rows.end());
    return named;
}

DrivesByModel SortByModel(const TerminalWindow& window) {
    DrivesByModel drives;
    for (size_t row = 0; row < window.DriveCount() && row < ScsiTransport::kMaxDevices; ++row) {
        (window.DriveGreyed(row) ? drives.otherModels : drives.thisModel)
            .push_back(static_cast<uint8_t>(row));
    }
    return drives;
}

std::string NoSuchDrive(const std::string& drive) {
    return "no drive '" + drive + "' (--list shows the drives)";
}

std::string NoDriveError(FlashDialog& dialog) {
    return "no drive found. " + dialog.Transport().NoDriveHint();
}

int EndEarly(CliEnvironment& environment, RunDocument& document, int status,
             const std::string& error) {
    environment.err.Write(environment.program + ": " + error + "\n");
    document.exitStatus = status;
    document.summary = "not started";
    document.error = error;
    return status;
}

ProgressOutput ProgressOutputFor(const CliOptions& options, CliEnvironment& environment) {
    const bool draw =
        environment.liveLine != nullptr && environment.terminal.DrawsProgress() && !options.json;
    return {draw ? environment.liveLine : nullptr,
            [&terminal = environment.terminal] { return terminal.Columns(); },
            !options.json && !options.quiet};
}

namespace {

// The scan, before anything is asked: a drive that is not there is said at once, and what
// the scan has to say goes to standard error. Then the notice, as the window asks it, and
// from there on the dialog's lines go to `runOutput`; declined, nothing more is sent.
std::optional<uint8_t> ScanThenAsk(const CliOptions& options, CliEnvironment& environment,
                                   DriveSession& session, DiagnosticSink* runOutput,
                                   RunDocument& document) {
    FlashDialog& dialog = session.dialog;
    if (!dialog.Transport().LoadBackend()) {
        EndEarly(environment, document, kExitUsage, "the drives could not be reached");
        return std::nullopt;
    }
    dialog.FillDriveTree();
    if (dialog.Transport().DeviceCount() == 0) {
        EndEarly(environment, document, kExitUsage, NoDriveError(dialog));
        return std::nullopt;
    }
    const std::optional<uint8_t> row = FindDrive(dialog, options.drives.front());
    if (!row) {
        EndEarly(environment, document, kExitUsage, NoSuchDrive(options.drives.front()));
        return std::nullopt;
    }
    session.window.SetOutput(runOutput);
    if (!dialog.ShowStartupNotice(dialog.Brand())) {
        dialog.ReportResult(ResultCode::UserCancelled);
        document.exitStatus = ExitStatusOf(RunEnding::Refusal(ResultCode::UserCancelled));
        document.summary = "cancelled";
        return std::nullopt;
    }
    return row;
}

int UpdateOne(const CliOptions& options, CliEnvironment& environment, RunDocument& document) {
    DiagnosticSink& shown = options.json ? environment.err : environment.out;
    ProgressDisplay lines(shown, ProgressOutputFor(options, environment));
    // The restart question is Cancel: the computer restarts, if at all, once the ending has
    // been told and the document written (RunCommandLine).
    Prompter prompter(environment.terminal,
                      {options.yes, options.allowReinstall, options.allowOlder, false});
    CountdownClock clock(environment.clock, lines, 0);
    DiscardedLines discarded;
    DiagnosticSink& detail = options.quiet ? discarded : static_cast<DiagnosticSink&>(lines);
    // Whatever the scan has to say (no drive, drives that cannot be opened, runs of the
    // history settled) goes to standard error, as --list says it.
    DriveSession session(
        environment, prompter, &environment.err, lines, detail, clock,
        std::make_unique<OneDriveBackend>(environment.makeBackend(detail), std::nullopt));
    const std::optional<uint8_t> row = ScanThenAsk(
        options, environment, session, options.json || options.quiet ? nullptr : &lines, document);
    if (!row) {
        return document.exitStatus;
    }
    clock.SetRow(*row);
    session.window.OnTransferProgress([&lines, shown = *row](uint32_t done, uint32_t total) {
        lines.PagesTaken(shown, done, total);
    });
    DriveReport report;
    report.row = *row;
    report.identification = IdentificationOf(session.dialog, *row);
    report.revisionBefore = RevisionOf(session.dialog, *row);
    session.Upgrade(*row);
    report.revisionAfter = RevisionOf(session.dialog, *row);
    report.ending = session.dialog.LastEnding();
    report.log = session.window.LogLines();
    lines.Finish();
    lines.Write(EndingLine(report.ending, "drive " + std::to_string(*row), report.revisionBefore,
                           report.revisionAfter, session.dialog.Config().NewRevision()) +
                "\n");
    if (prompter.RestartPending() && report.ending.kind == RunEndingKind::Updated) {
        if (options.restart) {
            environment.restartWanted = true;
        } else {
            lines.Write(std::string(kRestartNeeded) + "\n");
        }
    }
    document.drives.push_back(ReportJson(report));
    document.summary = SummaryLine({report.ending});
    document.exitStatus = ExitStatusOf(report.ending);
    return document.exitStatus;
}

}  // namespace

std::string IdentificationOf(FlashDialog& dialog, uint8_t row) {
    return FieldText(dialog.Transport().Device(row).identification, kIdentificationLength);
}

std::string RevisionOf(FlashDialog& dialog, uint8_t row) {
    return FieldText(dialog.Transport().Device(row).revision, kRevisionLength);
}

JsonValue ReportJson(const DriveReport& report) {
    const RunEnding& ending = report.ending;
    const int status = ExitStatusOf(ending);
    // The result code of a refusal or failure; 0 for an update; null when there is none.
    const JsonValue code = status >= kExitResultBase && status < kExitNotConfirmed
                               ? JsonValue(status - kExitResultBase)
                           : ending.kind == RunEndingKind::Updated ? JsonValue(0)
                                                                   : JsonValue();
    return {{"row", report.row},
            {"identification", report.identification},
            {"revisionBefore", report.revisionBefore},
            // A drive that did not answer when read back reports nothing: not its old revision.
            {"revisionAfter", ending.after == RevisionAfterRun::Unreadable
                                  ? JsonValue()
                                  : JsonValue(report.revisionAfter)},
            {"ending", EndingKey(ending.kind)},
            {"verified", ending.after == RevisionAfterRun::New},
            {"resultCode", code},
            {"result", ResultName(ending)},
            {"exitStatus", status},
            {"log", report.log}};
}

std::string DocumentJson(const RunDocument& document, const BuildConfig& config) {
    const JsonValue head = {
        {"action", document.action.empty() ? JsonValue() : JsonValue(document.action)},
        {"build", BuildJson(config.TargetId(), config.NewRevision())}};
    const JsonValue tail = {{"summary", document.summary},
                            {"exitStatus", document.exitStatus},
                            {"error", document.error ? JsonValue(*document.error) : JsonValue()}};
    return DocumentText(head, "drives", document.drives, tail);
}

namespace {

// The name a document gives the action; none for the actions that print no document.
std::optional<std::string> DocumentAction(CliAction action) {
    switch (action) {
        case CliAction::List:
            return "list";
        case CliAction::Update:
            return "update";
        case CliAction::All:
            return "all";
        case CliAction::Check:
            return "check";
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string EarlyEndJson(const CliOptions& options, std::span<const uint8_t> storedRegion,
                         int status, const std::string& error) {
    if (options.json && options.action == CliAction::History) {
        return HistoryDocumentJson({}, 0, status, error,
                                   BuildConfig::FromBytes(storedRegion).value_or(BuildConfig{}));
    }
    const std::optional<std::string> action = DocumentAction(options.action);
    if (!options.json || !action) {
        return "";
    }
    RunDocument document;
    document.action = *action;
    document.summary = status == kExitInterrupted ? "interrupted" : "not started";
    document.exitStatus = status;
    document.error = error;
    return DocumentJson(document, BuildConfig::FromBytes(storedRegion).value_or(BuildConfig{}));
}

std::string UsageErrorJson(const CliOptions& parsed, std::span<const uint8_t> storedRegion,
                           const std::string& error) {
    RunDocument document;
    // The action the words named, where they got that far; null where they did not.
    document.action = DocumentAction(parsed.action).value_or("");
    document.summary = "not started";
    document.exitStatus = kExitBadUsage;
    document.error = error;
    return DocumentJson(document, BuildConfig::FromBytes(storedRegion).value_or(BuildConfig{}));
}

namespace {

// The restart an update asked for with --restart, once everything about the run is out.
void RestartIfWanted(const CliOptions& options, CliEnvironment& environment) {
    if (!environment.restartWanted) {
        return;
    }
    DiagnosticSink& lines = options.json ? environment.err : environment.out;
    lines.Write("Restart the computer\n");
    if (!environment.restart.RequestRestart()) {
        lines.Write(std::string(kRebootFail) + "\n");
    }
}

}  // namespace

int RunCommandLine(const CliOptions& options, CliEnvironment& environment) {
    int status = kExitUsage;
    switch (options.action) {
        case CliAction::List:
            return ListDrives(options, environment);
        case CliAction::Update:
            // Several drives run as --all runs them; one drive keeps the window's own path
            // and its plain lines.
            status = options.drives.size() > 1
                         ? UpdateSeveral(options, environment)
                         : WithDocument("update", options, environment, [&](RunDocument& document) {
                               return UpdateOne(options, environment, document);
                           });
            RestartIfWanted(options, environment);
            return status;
        case CliAction::All:
            status = UpdateAll(options, environment);
            RestartIfWanted(options, environment);
            return status;
        case CliAction::Check:
            return CheckDrives(options, environment);
        case CliAction::Record:
            return RecordDrives(options.recordFile,
                                options.drives.empty()
                                    ? std::nullopt
                                    : std::optional<std::string>(options.drives.front()),
                                environment);
        case CliAction::History:
            return ShowHistory(options, environment);
        default:
            return kExitUsage;
    }
}

}  // namespace flashtool
