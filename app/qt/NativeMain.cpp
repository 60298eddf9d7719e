// flashtool: the product, over the system's own pass-through (SG_IO on Linux).

#include <QCoreApplication>

#include "app/cli/CliMain.h"
#include "app/qt/FlashToolApplication.h"
#include "app/qt/LogindInhibitor.h"
#include "app/qt/LogindRestart.h"
#include "transport/linux/SgIoBackend.h"

int main(int argc, char* argv[]) {
    using namespace flashtool;
    // The options are read before any toolkit exists, so that every option works without a
    // display (in a terminal over ssh, in a package test, on a system with no desktop).
    const CliStart start = ReadCliOptions(argc, argv, "flashtool", false, FLASHTOOL_VERSION);
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    LogindRestart restart;
    LogindInhibitor inhibitor;
    if (start.options.action != CliAction::Window) {
        // The login manager is asked over D-Bus, which wants an application object; a core
        // one opens no display.
        QCoreApplication core(argc, argv);
        return RunCommandLineMain(
            start.options, "flashtool",
            [](DiagnosticSink&) { return std::make_unique<SgIoBackend>(); }, restart, inhibitor);
    }
    StdoutDiagnostics diagnostics;
    return RunFlashTool(argc, argv, std::make_unique<SgIoBackend>(), restart, inhibitor,
                        diagnostics);
}
