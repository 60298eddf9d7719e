// flashtool: the product, over the system's own pass-through (SG_IO on Linux).

#include <cstdio>
#include <string_view>

#include "app/qt/FlashToolApplication.h"
#include "app/qt/LogindInhibitor.h"
#include "app/qt/LogindRestart.h"
#include "transport/linux/SgIoBackend.h"

namespace {

constexpr const char* kUsage =
    "Usage: flashtool [--help | --version]\n"
    "Updates the firmware of an optical drive with the image this build carries.\n"
    "Without an option it opens the window.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the program's version and exit\n";

enum class Start { Window, Exit, BadOption };

// The options are read before the window exists, so that --help and --version work
// without a display (in a terminal over ssh, in a package test). Any other argument is
// refused rather than passed on to the toolkit.
Start ReadOptions(int argc, char* argv[]) {
    if (argc < 2) {
        return Start::Window;
    }
    const std::string_view option = argv[1];
    if (argc == 2 && option == "--version") {
        std::printf("flashtool %s\n", FLASHTOOL_VERSION);
        return Start::Exit;
    }
    if (argc == 2 && option == "--help") {
        std::fputs(kUsage, stdout);
        return Start::Exit;
    }
    const std::string_view bad = option == "--version" || option == "--help" ? argv[2] : option;
    std::fprintf(stderr, "flashtool: unknown option '%.*s'\n", static_cast<int>(bad.size()),
                 bad.data());
    std::fputs(kUsage, stderr);
    return Start::BadOption;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace flashtool;
    switch (ReadOptions(argc, argv)) {
        case Start::Exit:
            return 0;
        case Start::BadOption:
            return 1;
        case Start::Window:
            break;
    }
    StdoutDiagnostics diagnostics;
    LogindRestart restart;
    LogindInhibitor inhibitor;
    return RunFlashTool(argc, argv, std::make_unique<SgIoBackend>(), restart, inhibitor,
                        diagnostics);
}
