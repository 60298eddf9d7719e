#pragma once

// What the command line makes of a press's ending: its exit status, its name in JSON, how it
// ranks among many drives' endings, and the line that tells the operator. Each is a function
// of the typed ending alone, never of a log text.

#include <string>
#include <string_view>
#include <vector>

#include "app/cli/CliOptions.h"
#include "flash/RunEnding.h"

namespace flashtool {

int ExitStatusOf(const RunEnding& ending);

// The name of an ending in JSON ("updated", "notConfirmed", ...) and of its result code
// ("UpdateFailed", ...; "Updated", "UpToDate", "NotConfirmed" or "NotStarted" without one).
std::string EndingKey(RunEndingKind kind);
std::string ResultName(const RunEnding& ending);

// How bad an ending is, for --all's exit status: a failed transfer outranks a drive left
// unconfirmed, which outranks a drive that could not be reached, a refusal, and an up-to-date
// drive, in that order.
int Severity(const RunEnding& ending);

// The line that says how the press ended, for a drive shown as `drive` ("drive 0"):
// `before` is its revision before the run, `now` the one it reports after it, `build` this
// build's revision.
std::string EndingLine(const RunEnding& ending, std::string_view drive, std::string_view before,
                       std::string_view now, std::string_view build);

// The line --check prints for a drive: what an update would do, or why it would not start.
std::string CheckLine(const RunEnding& ending, std::string_view drive, std::string_view before,
                      std::string_view build);

// --all's last line: "2 updated, 1 up to date, 1 failed", and last the drives it left alone
// for their model ("1 not this build's model").
std::string SummaryLine(const std::vector<RunEnding>& endings, size_t otherModels = 0);

}  // namespace flashtool
