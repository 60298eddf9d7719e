// flashtool: the product, over the system's own pass-through (SG_IO on Linux).

#include "app/qt/FlashToolApplication.h"
#include "app/qt/LogindInhibitor.h"
#include "app/qt/LogindRestart.h"
#include "transport/linux/SgIoBackend.h"

int main(int argc, char* argv[]) {
    using namespace flashtool;
    StdoutDiagnostics diagnostics;
    LogindRestart restart;
    LogindInhibitor inhibitor;
    return RunFlashTool(argc, argv, std::make_unique<SgIoBackend>(), restart, inhibitor,
                        diagnostics);
}
