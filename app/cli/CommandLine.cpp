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

namespace {

// The one line that ends the program early: on standard error, and in the document.
int EndEarly(CliEnvironment& environment, RunDocument& document, int status,
             const std::string& error) {
    environment.err.Write(environment.program + ": " + error + "\n");
    document.exitStatus = status;
    document.error = error;
    return status;
}

int UpdateOne(const CliOptions& options, CliEnvironment& environment, RunDocument& document) {
    ProgressDisplay lines(options.json ? environment.err : environment.out,
                          environment.terminal.DrawsProgress() && !options.json);
    // The restart question is Cancel: the computer restarts, if at all, once the ending has
    // been told and the document written (RunCommandLine).
    Prompter prompter(environment.terminal,
                      {options.yes, options.allowReinstall, options.allowOlder, false});
    CountdownClock clock(environment.clock, lines, 0);
    DiscardedLines discarded;
    DriveSession session(
        environment, prompter, options.json || options.quiet ? nullptr : &lines, lines,
        options.quiet ? discarded : static_cast<DiagnosticSink&>(lines), clock,
        std::make_unique<OneDriveBackend>(
            environment.makeBackend(options.quiet ? discarded
                                                  : static_cast<DiagnosticSink&>(lines)),
            std::nullopt));
    if (!session.Start()) {
        const RunEnding ending = session.dialog.LastEnding();
        document.exitStatus = ExitStatusOf(ending);
        document.summary = ending.kind == RunEndingKind::Refused ? "cancelled" : "not started";
        return document.exitStatus;
    }
    if (session.dialog.Transport().DeviceCount() == 0) {
        return EndEarly(environment, document, kExitUsage, std::string(kNoDriveHint));
    }
    const std::optional<uint8_t> row = FindDrive(session.dialog, options.drive);
    if (!row) {
        return EndEarly(environment, document, kExitUsage,
                        "no drive '" + options.drive + "' (--list shows the drives)");
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

std::string ReportJson(const DriveReport& report) {
    const RunEnding& ending = report.ending;
    const int status = ExitStatusOf(ending);
    // The result code of a refusal or failure; 0 for an update; null when there is none.
    const std::string code = status >= kExitResultBase && status < kExitNotConfirmed
                                 ? std::to_string(status - kExitResultBase)
                             : ending.kind == RunEndingKind::Updated ? "0"
                                                                     : "null";
    return FormatText("{\"row\": %d, \"identification\": ", report.row) +
           JsonString(report.identification) +
           ", \"revisionBefore\": " + JsonString(report.revisionBefore) +
           // A drive that did not answer when read back reports nothing: not its old revision.
           ", \"revisionAfter\": " +
           (ending.after == RevisionAfterRun::Unreadable ? std::string("null")
                                                         : JsonString(report.revisionAfter)) +
           ", \"ending\": " + JsonString(EndingKey(ending.kind)) +
           ", \"verified\": " + (ending.after == RevisionAfterRun::New ? "true" : "false") +
           ", \"resultCode\": " + code + ", \"result\": " + JsonString(ResultName(ending)) +
           FormatText(", \"exitStatus\": %d", status) + ", \"log\": " + JsonStrings(report.log) +
           "}";
}

std::string DocumentJson(const RunDocument& document, const BuildConfig& config) {
    std::string text =
        "{\"action\": " + (document.action.empty() ? "null" : JsonString(document.action)) +
        ", \"build\": {\"model\": " + JsonString(config.TargetId()) +
        ", \"revision\": " + JsonString(config.NewRevision()) + "},\n\"drives\": [";
    for (size_t n = 0; n < document.drives.size(); ++n) {
        text += (n == 0 ? "\n  " : ",\n  ") + document.drives[n];
    }
    text += document.drives.empty() ? "]" : "\n]";
    text += ",\n\"summary\": " + JsonString(document.summary) +
            FormatText(", \"exitStatus\": %d", document.exitStatus) +
            ", \"error\": " + (document.error ? JsonString(*document.error) : "null") + "}\n";
    return text;
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
            status = WithDocument("update", options, environment, [&](RunDocument& document) {
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
            return RecordDrives(
                options.recordFile,
                options.drive.empty() ? std::nullopt : std::optional<std::string>(options.drive),
                environment);
        case CliAction::History:
            return ShowHistory(options, environment);
        default:
            return kExitUsage;
    }
}

}  // namespace flashtool
