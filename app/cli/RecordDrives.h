#pragma once

// --record=FILE [DRIVE]: a scenario file of the drives as they are, for support, written
// from commands that only read (drive/ReadOnlyCommands.h) and replayed by the build's
// emulated program, `<package>-emulated --drives FILE`, which its package installs too.

#include <optional>
#include <string>

#include "app/cli/CommandLine.h"

namespace flashtool {

// Scans as --list does, over a back-end that lets only the read-only commands through,
// records every drive (or the one DRIVE names: its number in the list, or one of its nodes)
// and writes the scenario file. Prints a line per drive (and what its reads did not reveal)
// to standard output, errors to standard error.
//
// Vendor commands (the model record reads) go only to drives this build's own checks send
// them to (MakerCommandReach.h); the others are recorded from standard commands alone, and
// the file's description names them.
//
// FILE is written only when it does not exist or is empty: a recording already there is
// evidence, and is never replaced, not even by one that appears while the drives are read.
// A new file appears whole or not at all (a temporary file beside it, synced, then linked
// in under its name, which fails when the name is taken); an empty one is filled by
// appending while it is still empty.
//
// Exit status: 0 every drive recorded and the file written; 1 (kExitUsage) when nothing was
// written (FILE exists and is not empty or cannot be written, no drive found, DRIVE names
// none, a command outside the list was asked for), and also when the file was written
// without a drive that the format cannot describe (that drive is named).
int RecordDrives(const std::string& file, std::optional<std::string> drive,
                 CliEnvironment& environment);

}  // namespace flashtool
