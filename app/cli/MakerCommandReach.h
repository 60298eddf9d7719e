#pragma once

// Whether this build sends a drive the maker's own commands (operation codes F0-FF), judged
// by the build's own checks rather than a copy of their rules: the checks of an Upgrade
// press run on a stand-in, a virtual drive that answers as the drive did (identification,
// OEM tag, readiness, buffer, the faults it showed) with its tray empty, and the answer is
// yes when they send it such a command or pass (the run that would follow sends them).
// Nothing reaches the real drive.

#include "app/cli/CommandLine.h"
#include "emulator/Scenario.h"

namespace flashtool {

bool BuildSendsMakerCommands(const DriveDescription& drive, CliEnvironment& environment);

}  // namespace flashtool
