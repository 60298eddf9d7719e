#include "app/cli/CommandLine.h"

#include <algorithm>

#include "app/cli/DriveSession.h"
#include "app/cli/Endings.h"
#include "app/cli/JsonText.h"
#include "app/cli/OneDriveBackend.h"
#include "app/cli/ProgressDisplay.h"
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

int UpdateOne(const CliOptions& options, CliEnvironment& environment) {
    ProgressDisplay lines(options.json ? environment.err : environment.out,
                          environment.terminal.DrawsProgress() && !options.json);
    Prompter prompter(environment.terminal,
                      {options.yes, options.allowReinstall, options.allowOlder, options.restart});
    CountdownClock clock(environment.clock, lines, 0);
    DriveSession session(
        environment, prompter, options.json ? nullptr : &lines, lines, lines, clock,
        std::make_unique<OneDriveBackend>(environment.makeBackend(lines), std::nullopt));
    if (!session.Start()) {
        return ExitStatusOf(session.dialog.LastEnding());
    }
    const std::optional<uint8_t> row = FindDrive(session.dialog, options.drive);
    if (!row) {
        environment.err.Write(environment.program + ": no drive '" + options.drive +
                              "' (--list shows the drives)\n");
        return kExitUsage;
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
        lines.Write(std::string(kRestartNeeded) + "\n");
    }
    if (options.json) {
        environment.out.Write(ReportJson(report) + "\n");
    }
    return ExitStatusOf(report.ending);
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
           ", \"revisionAfter\": " + JsonString(report.revisionAfter) +
           ", \"ending\": " + JsonString(EndingKey(ending.kind)) +
           ", \"verified\": " + (ending.after == RevisionAfterRun::New ? "true" : "false") +
           ", \"resultCode\": " + code + ", \"result\": " + JsonString(ResultName(ending)) +
           FormatText(", \"exitStatus\": %d", status) + ", \"log\": " + JsonStrings(report.log) +
           "}";
}

int RunCommandLine(const CliOptions& options, CliEnvironment& environment) {
    switch (options.action) {
        case CliAction::List:
            return ListDrives(options, environment);
        case CliAction::Update:
            return UpdateOne(options, environment);
        case CliAction::All:
            return UpdateAll(options, environment);
        case CliAction::Check:
            return CheckDrives(options, environment);
        default:
            return kExitUsage;
    }
}

}  // namespace flashtool
