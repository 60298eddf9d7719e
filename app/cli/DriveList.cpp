// --list: the device table as the scan fills it, with the window's greying rule in words.

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "app/GreyRules.h"
#include "app/cli/DriveSession.h"
#include "app/cli/JsonText.h"
#include "core/Format.h"
#include "image/BuildConfig.h"
#include "policy/GatingRevision.h"

namespace flashtool {

namespace {

// Why the tree shows a drive in grey, in the order IsGreyedDrive decides it.
std::string GreyReason(const BuildConfig& config) {
    if (!IsMakerBuild(config.BuildKey())) {
        return "this build carries no maker key";
    }
    if (config.IsWildcard()) {
        return "it is not of this build's model family (" + std::string(config.FamilyText()) + ")";
    }
    return "it is not this build's model (\"" + std::string(config.TargetId()) + "\")";
}

// What an update would do to a drive the tree shows in black, by its revision alone (the
// other checks run only on a press; --check runs them): the state and its words.
std::pair<std::string, std::string> RevisionState(const BuildConfig& config,
                                                  std::string_view revision) {
    const std::string build(config.NewRevision());
    switch (CompareRevision(config.PatternCharacters(), config.NewRevision(), revision, false,
                            config.IsWildcard())) {
        case RevisionVerdict::DriveOlder:
            return {"canUpdate", "can update: " + std::string(revision) + " -> " + build};
        case RevisionVerdict::SameRevision:
            return {"upToDate", "up to date (" + build + ")"};
        case RevisionVerdict::DriveNewer:
        case RevisionVerdict::DowngradeBarred:
            return {"newer", "has a newer revision than this build's " + build +
                                 " (--allow-older installs it)"};
        case RevisionVerdict::PatternMismatch:
            break;
    }
    return {"cannotUpdate", "cannot update: its revision does not fit this build's"};
}

std::string Nodes(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : " ") + name;
    }
    return joined.empty() ? "-" : joined;
}

// A state as the summary counts it.
std::string_view SummaryWords(std::string_view state) {
    if (state == "canUpdate") {
        return "can update";
    }
    if (state == "upToDate") {
        return "up to date";
    }
    if (state == "newer") {
        return "newer";
    }
    return "cannot update";
}

// How many drives are in each state, in the order the list meets them:
// "1 can update, 2 cannot update".
std::string StateSummary(const std::vector<std::pair<std::string, size_t>>& counts) {
    std::string summary;
    for (const auto& [words, count] : counts) {
        summary += (summary.empty() ? "" : ", ") + FormatText("%zu ", count) + words;
    }
    return summary.empty() ? "no drive" : summary;
}

int List(const CliOptions& options, CliEnvironment& environment, RunDocument& document) {
    // No notice: a list changes nothing. Whatever the scan has to say (no drive, drives
    // that cannot be opened) goes to standard error, beside the list.
    DiagnosticSink& trace = options.json ? environment.err : environment.out;
    Prompter prompter(environment.terminal, {});
    DriveSession session(environment, prompter, &environment.err, environment.err, trace,
                         environment.clock, environment.makeBackend(trace));
    FlashDialog& dialog = session.dialog;
    if (!dialog.Transport().LoadBackend()) {
        document.error = "the drives could not be reached";
        return document.exitStatus = kExitUsage;
    }
    dialog.FillDriveTree();
    std::string text;
    std::vector<std::pair<std::string, size_t>> counts;
    for (uint8_t row = 0; row < session.window.DriveCount(); ++row) {
        const bool greyed = session.window.DriveGreyed(row);
        const std::string reason = greyed ? GreyReason(dialog.Config()) : "";
        const auto [state, words] =
            greyed ? std::pair<std::string, std::string>{"cannotUpdate", "cannot update: " + reason}
                   : RevisionState(dialog.Config(), RevisionOf(dialog, row));
        const std::string counted(SummaryWords(state));
        const auto known = std::find_if(counts.begin(), counts.end(),
                                        [&](const auto& count) { return count.first == counted; });
        if (known == counts.end()) {
            counts.emplace_back(counted, 1);
        } else {
            ++known->second;
        }
        const std::vector<std::string> names = dialog.Transport().NodeNames(row);
        if (options.json) {
            document.drives.push_back({{"row", row},
                                       {"identification", IdentificationOf(dialog, row)},
                                       {"revision", RevisionOf(dialog, row)},
                                       {"nodes", names},
                                       {"updatable", !greyed},
                                       {"reason", greyed ? JsonValue(reason) : JsonValue()},
                                       {"state", state},
                                       {"installs", dialog.Config().NewRevision()}});
        } else {
            // What the drive reported is shown escaped: its bytes must not drive the terminal.
            text += FormatText("%u  \"%s\"  %s  %s  ", row,
                               ShownText(IdentificationOf(dialog, row)).c_str(),
                               ShownText(RevisionOf(dialog, row)).c_str(),
                               ShownText(Nodes(names)).c_str()) +
                    ShownText(words) + "\n";
        }
    }
    environment.out.Write(text);
    if (session.window.DriveCount() == 0 && !dialog.Transport().ScanMissedDrives()) {
        // "No Device found!" alone does not say where to look (a drive that could not be
        // opened or identified was named with its own reason above).
        environment.err.Write(environment.program + ": " + NoDriveError(dialog) + "\n");
    }
    document.summary = StateSummary(counts);
    // The back-end has told of the drives it could not open; the drives that opened but did
    // not say what they are are named here (the window leaves them out without a word).
    const auto unanswered = dialog.Transport().UnansweredDrives();
    for (const UnansweredDrive& drive : unanswered) {
        environment.err.Write(
            environment.program + ": " + drive.name +
            ": not listed: it did not answer the identification (INQUIRY): " + drive.reason + "\n");
    }
    // A list without the drives the program could not open or identify is no answer to
    // rely on.
    if (dialog.Transport().ScanMissedDrives()) {
        document.error = unanswered.empty()
                             ? "the list is incomplete: a drive was found that could not be opened"
                             : FormatText(
                                   "the list is incomplete: %zu drive(s) did not answer "
                                   "the identification",
                                   unanswered.size());
        return document.exitStatus = kExitUsage;
    }
    return document.exitStatus = kExitUpdated;
}

}  // namespace

int ListDrives(const CliOptions& options, CliEnvironment& environment) {
    return WithDocument("list", options, environment, [&](RunDocument& document) {
        return List(options, environment, document);
    });
}

}  // namespace flashtool
