#pragma once

// The Windows program: the Win32 window and the main dialog wired together, for both
// executables (they differ in the back-end, the restart and the keep-awake lock).

#include <functional>
#include <memory>
#include <string_view>

#include "app/FlashDialog.h"

namespace flashtool::win32 {

// What both executables' main() do once the back-end and the restart are chosen; the
// program's exit status. `program` (data/BuildIdentity.h's ProgramName) titles its boxes and
// names its lock, whatever the file was renamed to. With `singleInstance` the program's lock
// is taken first and a second copy ends there; `makeBackend` runs only after that, so a
// refused copy opens nothing.
int RunFlashTool(std::string_view program, bool singleInstance,
                 const std::function<std::unique_ptr<PassThroughBackend>()>& makeBackend,
                 SystemRestart& restart, SleepInhibitor& inhibitor, Clock& clock,
                 DiagnosticSink& diagnostics, const std::function<void(FlashDialog&)>& wire = {});

}  // namespace flashtool::win32
