#pragma once

// The program: the Qt window and the main dialog wired together, for both executables
// (they differ only in the back-end and the restart) and for the tests that drive the
// whole window.

#include <memory>
#include <span>

#include "app/FlashDialog.h"
#include "app/qt/QtDialogWindow.h"

namespace flashtool {

class FlashToolApplication {
public:
    FlashToolApplication(std::unique_ptr<PassThroughBackend> backend, SystemRestart& restart,
                         SleepInhibitor& inhibitor, Clock& clock, DiagnosticSink& diagnostics,
                         std::span<const uint8_t> storedRegion);

    QtDialogWindow& Window() { return window; }
    FlashDialog& Dialog() { return dialog; }

    // The start-up sequence, then the dialog modally; the dialog's result.
    int Run() { return window.RunModal(); }

private:
    QtDialogWindow window;
    FlashDialog dialog;
};

// What both executables' main() do once the back-end and the restart are chosen.
int RunFlashTool(int argc, char* argv[], std::unique_ptr<PassThroughBackend> backend,
                 SystemRestart& restart, SleepInhibitor& inhibitor, DiagnosticSink& diagnostics,
                 const std::function<void(FlashDialog&)>& wire = {});

}  // namespace flashtool
