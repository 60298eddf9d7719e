#pragma once

// How one Upgrade press ended, as every front-end reports it. The window's texts, the
// terminal's lines, the JSON and the exit status are each a function of this value: none of
// them reads a log text or guesses from the last code reported.

#include <cstdint>
#include <optional>
#include <string>

#include "core/MessageBox.h"
#include "drive/ResultCode.h"

namespace flashtool {

enum class RunEndingKind : uint8_t {
    // Ended before the first command that changes the drive, with no refusal to report: the
    // press never got to a drive (no drive, a busy drive, the interface failed) or the run had
    // no way to start (a build without a transfer method).
    NothingSent,
    // A check or the operator refused before anything that changes the drive was sent; `code`
    // says which.
    Refused,
    // The drive already carries this build's revision and nobody asked to install it again.
    UpToDate,
    // Commands that change the drive were sent and the run failed; `code` says how.
    Failed,
    // Every page was taken, but the drive did not confirm the command that ends the transfer
    // (it timed out, was busy or vanished) and does not report the new revision.
    NotConfirmed,
    // The drive confirmed the transfer.
    Updated,
    // Only the checks were asked for, and every one passed: an update would start. Nothing
    // that changes the drive was sent.
    WouldUpdate,
};

// What the drive's identification, read again after the run, shows.
enum class RevisionAfterRun : uint8_t {
    NotRead,     // the run sent nothing that changes the drive: nothing to verify
    New,         // the build's revision: verified
    Old,         // the revision it had: it may show the new one only after a restart
    Other,       // neither
    Unreadable,  // the drive did not answer
    // The build's revision, which the drive reported before the run too (a reinstall): its
    // revision cannot tell whether it took the image.
    Same,
};

struct RunEnding {
    RunEndingKind kind = RunEndingKind::NothingSent;
    std::optional<ResultCode> code;  // Refused, Failed (and the window's report of them)
    RevisionAfterRun after = RevisionAfterRun::NotRead;
    // The question the operator (or the command line's rules) declined, when a refusal came
    // from a question rather than from a check.
    QuestionKind declined = QuestionKind::None;

    // From the first command that changes the drive on: the drive may not be as it was.
    bool DriveChanged() const {
        return kind == RunEndingKind::Failed || kind == RunEndingKind::NotConfirmed ||
               kind == RunEndingKind::Updated;
    }
    // The drive confirmed the transfer and then showed the revision it did not have before.
    bool Verified() const {
        return kind == RunEndingKind::Updated && after == RevisionAfterRun::New;
    }

    static RunEnding Refusal(ResultCode code) { return {RunEndingKind::Refused, code}; }
    static RunEnding Failure(ResultCode code) { return {RunEndingKind::Failed, code}; }
    static RunEnding Of(RunEndingKind kind) { return {kind, std::nullopt}; }

    friend bool operator==(const RunEnding&, const RunEnding&) = default;
};

// A short name for logs, JSON and tests: "updated", "not confirmed", ...
std::string EndingName(RunEndingKind kind);

}  // namespace flashtool
