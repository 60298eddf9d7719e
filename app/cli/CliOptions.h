#pragma once

// The command line of both executables. With no option (the emulated program: no option
// but --drives) the window opens; every other use is one action that runs in the terminal.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace flashtool {

enum class CliAction : uint8_t { Window, Help, Version, List, Update, All, Check, Record, History };

struct CliOptions {
    CliAction action = CliAction::Window;
    // The drives named, each a row number or a node: --update's (one or more), --check's and
    // --record's (at most one; none: every drive).
    std::vector<std::string> drives;
    bool json = false;
    bool yes = false;
    bool allowReinstall = false;  // install the revision the drive already has
    bool allowOlder = false;      // install this build's revision over a newer one
    bool restart = false;
    bool quiet = false;  // -q: only the ending of each drive, the summary, questions and errors
    int verbosity = 0;   // -v, repeatable: each command sent, as a trace line on standard error
    std::optional<std::string> drivesFile;  // the emulated program's scenario file
    std::string recordFile;                 // --record=FILE: where the drives are recorded
    // --trace: every command's trace line goes to standard error (empty) or to this file.
    std::optional<std::string> trace;
};

struct CliParse {
    CliOptions options;
    std::string error;  // empty when the arguments were good
};

// `arguments` without the program's name. `takesDrivesFile`: the emulated program, which
// also takes --drives FILE.
CliParse ParseCommandLine(std::span<char* const> arguments, bool takesDrivesFile);

// The text of --help, exit statuses included; `program` is the program's name, and
// `emulatedProgram` the one that replays what --record writes.
std::string UsageText(std::string_view program, std::string_view emulatedProgram,
                      bool takesDrivesFile);

// Exit statuses: 0 updated (or listed), 1 environment error, 2 usage error, 3 up to date
// (nothing to do), 10 + the result code for a refusal or a failure, 20 not confirmed (the
// drive took every page but did not confirm the new firmware), 130 stopped by a signal while
// no drive was being written.
inline constexpr int kExitUpdated = 0;
inline constexpr int kExitUsage = 1;     // the environment: no drive access, no such drive
inline constexpr int kExitBadUsage = 2;  // the command line itself: a bad option or argument
inline constexpr int kExitUpToDate = 3;
inline constexpr int kExitResultBase = 10;
inline constexpr int kExitNotConfirmed = 20;
inline constexpr int kExitInterrupted = 130;

}  // namespace flashtool
