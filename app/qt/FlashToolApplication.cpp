#include "app/qt/FlashToolApplication.h"

#include <QApplication>

#include "data/EmbeddedRegion.h"

namespace flashtool {

FlashToolApplication::FlashToolApplication(std::unique_ptr<PassThroughBackend> backend,
                                           SystemRestart& restart, SleepInhibitor& inhibitor,
                                           Clock& clock, DiagnosticSink& diagnostics,
                                           std::span<const uint8_t> storedRegion)
    : dialog(FlashDialogParts{window, std::move(backend), storedRegion, restart, clock, diagnostics,
                              inhibitor}) {
    window.SetHandlers(&dialog);
}

int RunFlashTool(int argc, char* argv[], std::unique_ptr<PassThroughBackend> backend,
                 SystemRestart& restart, SleepInhibitor& inhibitor, DiagnosticSink& diagnostics,
                 const std::function<void(FlashDialog&)>& wire) {
    QApplication application(argc, argv);
    // The program ends when the dialog does, never because a message box was the last
    // window open.
    QApplication::setQuitOnLastWindowClosed(false);
    SystemClock clock;
    FlashToolApplication tool(std::move(backend), restart, inhibitor, clock, diagnostics,
                              EmbeddedStoredRegion());
    if (wire) {
        wire(tool.Dialog());
    }
    tool.Run();
    return 0;
}

}  // namespace flashtool
