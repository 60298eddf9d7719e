#pragma once

// The program: the Qt window and the main dialog wired together, for both executables
// (they differ only in the back-end and the restart) and for the tests that drive the
// whole window.

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/FlashDialog.h"
#include "app/qt/QtDialogWindow.h"

namespace flashtool {

class FlashToolApplication {
public:
    FlashToolApplication(std::unique_ptr<PassThroughBackend> backend, SystemRestart& restart,
                         SleepInhibitor& inhibitor, Clock& clock, DiagnosticSink& diagnostics,
                         std::span<const uint8_t> storedRegion, WriteWindow* writeWindow = nullptr);

    QtDialogWindow& Window() { return window; }
    FlashDialog& Dialog() { return dialog; }

    // The start-up sequence, then the dialog modally; the dialog's result.
    int Run() { return window.RunModal(); }

private:
    QtDialogWindow window;
    FlashDialog dialog;
};

// Why the window cannot open here, in one line for standard error, or nothing. The toolkit
// itself would end the program with an abort and a page about plugins when there is no
// display; a user over ssh needs to hear that the command-line actions work instead.
// `variable` reads the environment (getenv in the program).
std::optional<std::string> MissingDisplay(std::string_view program,
                                          const std::function<const char*(const char*)>& variable);

// What both executables' main() do once the back-end and the restart are chosen. `program`
// is the program's name (data/BuildIdentity.h's ProgramName): its lines, message boxes and
// lock say it, whatever the file was renamed to. With `singleInstance` the program's lock is
// taken first, and a second copy ends there with
// exit 1. Interrupting signals are read on a thread of their own (InterruptGuard): main must
// have blocked them before any thread started. From a run's first drive-changing command
// until its ending is shown and recorded, neither a signal nor the toolkit's own exit (a
// display that goes away) ends the program: the run goes on, without its window if need be.
// `makeBackend` runs only after that, so that a refused copy opens nothing (a
// --trace file stays as the first copy writes it); when it gives nothing (it said why on
// standard error) the program ends with exit 1.
int RunFlashTool(int argc, char* argv[], const std::string& program, bool singleInstance,
                 const std::function<std::unique_ptr<PassThroughBackend>()>& makeBackend,
                 SystemRestart& restart, SleepInhibitor& inhibitor, DiagnosticSink& diagnostics,
                 const std::function<void(FlashDialog&)>& wire = {});

}  // namespace flashtool
