#pragma once

// One FlashDialog on a TerminalWindow, and what the command line reads from it afterwards.

#include <memory>
#include <optional>
#include <string>

#include "app/FlashDialog.h"
#include "app/cli/CommandLine.h"
#include "app/cli/Endings.h"
#include "app/cli/ProgressDisplay.h"
#include "app/cli/TerminalWindow.h"
#include "history/ByteJson.h"

namespace flashtool {

struct DriveSession {
    // `out`: log lines and messages (null: kept only); `trace`: the back-end's and the
    // run's diagnostic lines.
    // `settlesHistory`: this session's scan sees every drive, so it may settle the runs the
    // history left pending (not so a session over one drive of many).
    DriveSession(CliEnvironment& environment, Prompter& prompter, DiagnosticSink* out,
                 DiagnosticSink& questions, DiagnosticSink& trace, Clock& clock,
                 std::unique_ptr<PassThroughBackend> backend, bool settlesHistory = true)
        : window(prompter, out, questions),
          dialog(FlashDialogParts{window, std::move(backend), environment.storedRegion,
                                  environment.restart, clock, trace, environment.inhibitor,
                                  environment.writeWindow}) {
        dialog.KeepHistory(environment.history, environment.version, settlesHistory);
    }

    // The start-up sequence as the window runs it, the notice included; returns once the
    // scan (which runs on a worker of the dialog) has filled the tree.
    bool Start() {
        const bool started = dialog.OnInitDialog();
        if (started) {
            dialog.WaitForRun();
        }
        return started;
    }
    // Selects the drive at `row` of the tree, presses Upgrade and waits for the run.
    void Upgrade(size_t row) {
        window.BeginPress();
        window.SelectDrive(row);
        dialog.OnSelectionChanged();
        dialog.OnUpgrade();
        dialog.WaitForRun();
    }

    TerminalWindow window;
    FlashDialog dialog;
};

// A row's identification and revision as the drive reported them (up to the first zero).
std::string IdentificationOf(FlashDialog& dialog, uint8_t row);
std::string RevisionOf(FlashDialog& dialog, uint8_t row);

// The JSON object that reports one drive's update.
struct DriveReport {
    int row = 0;
    std::string identification;
    std::string revisionBefore;
    std::string revisionAfter;
    RunEnding ending;
    std::vector<std::string> log;
};
JsonValue ReportJson(const DriveReport& report);

// The one JSON document an invocation prints with --json, whatever happened: the build, the
// drives (each a JSON object), the summary line, the exit status, and the error that ended
// it early (none: null).
struct RunDocument {
    std::string action;  // "list", "update", "all", "check"
    std::vector<JsonValue> drives;
    std::string summary;
    int exitStatus = kExitUsage;
    std::optional<std::string> error;
};
std::string DocumentJson(const RunDocument& document, const BuildConfig& config);

// The build this program carries (an all-zero one when the region is too short to hold it).
inline BuildConfig ThisBuild(const CliEnvironment& environment) {
    return BuildConfig::FromBytes(environment.storedRegion).value_or(BuildConfig{});
}

// Runs `action` with a document for `name`, and prints the document when --json asks.
template <typename Action>
int WithDocument(std::string name, const CliOptions& options, CliEnvironment& environment,
                 Action action) {
    RunDocument document;
    document.action = std::move(name);
    const int status = action(document);
    if (options.json) {
        // Whole, and matching the exit status: nothing ends the program from here on.
        if (environment.writeWindow != nullptr) {
            environment.writeWindow->Finishing();
        }
        environment.out.Write(DocumentJson(document, ThisBuild(environment)));
    }
    return status;
}

// The list of --list, as text or JSON.
int ListDrives(const CliOptions& options, CliEnvironment& environment);
// --all, and --update with several drives.
int UpdateAll(const CliOptions& options, CliEnvironment& environment);
int UpdateSeveral(const CliOptions& options, CliEnvironment& environment);
// --check [DRIVE].
int CheckDrives(const CliOptions& options, CliEnvironment& environment);
// --history [--json] (ShowHistory.cpp).
int ShowHistory(const CliOptions& options, CliEnvironment& environment);
// The one document of --history --json: the build, the records' objects
// (HistoryJsonObject), how many damaged lines were skipped, the exit status and the error
// that ended it (none: null). Its head and tail, for a document printed a record at a time.
std::string HistoryDocumentHead(const BuildConfig& config);
std::string HistoryDocumentTail(size_t skipped, int status, const std::optional<std::string>& error,
                                bool any);
std::string HistoryDocumentJson(const std::vector<std::string>& records, size_t skipped, int status,
                                const std::optional<std::string>& error, const BuildConfig& config);

// The error of a scan that found no drive at all, with what to check ("No Device found!"
// says no more) in the terms of the dialog's back-end.
std::string NoDriveError(FlashDialog& dialog);

// The row DRIVE names: its number in the list, or one of its nodes.
std::optional<uint8_t> FindDrive(FlashDialog& dialog, const std::string& drive);
// The rows `drives` name, each once however often it is named (by its number or by any of
// its nodes), in the list's order; or the first word that names no drive.
struct NamedDrives {
    std::vector<uint8_t> rows;
    std::optional<std::string> unknown;
};
NamedDrives FindDrives(FlashDialog& dialog, std::span<const std::string> drives);
// The drives of the tree this build can update (drawn in black), and the others (in grey:
// another model, or another family for a build of any drive of one), by row.
struct DrivesByModel {
    std::vector<uint8_t> thisModel;
    std::vector<uint8_t> otherModels;
};
DrivesByModel SortByModel(const TerminalWindow& window);
// How --all and --check --all name a drive they leave alone for its model.
inline constexpr std::string_view kOtherModel = "not this build's model";
inline constexpr std::string_view kNoDriveToUpdate = "no drive this build can update";

// The error of a word that names no drive.
std::string NoSuchDrive(const std::string& drive);

// Ends the action before any drive was touched: `error` on standard error after the
// program's name, and in the document (summary "not started").
int EndEarly(CliEnvironment& environment, RunDocument& document, int status,
             const std::string& error);

// How progress is shown for the action: drawn on the terminal's status line, else a plain
// line per event where the log lines are printed (not with --json or --quiet).
ProgressOutput ProgressOutputFor(const CliOptions& options, CliEnvironment& environment);

}  // namespace flashtool
