#include "app/qt/FlashToolApplication.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "core/InstanceLock.h"
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

std::optional<std::string> MissingDisplay(std::string_view program,
                                          const std::function<const char*(const char*)>& variable) {
    const auto set = [&variable](const char* name) {
        const char* value = variable(name);
        return value != nullptr && *value != '\0';
    };
    // A platform named outright (offscreen, wayland, xcb with its own -display, ...) is the
    // user's choice; the toolkit says itself what is wrong with it.
    if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY")) {
        return std::nullopt;
    }
    return std::string(program) +
           ": the window needs a desktop, and no display was found (neither DISPLAY nor "
           "WAYLAND_DISPLAY is set); --list, --check, --update and --help work without one";
}

int RunFlashTool(int argc, char* argv[], bool singleInstance,
                 const std::function<std::unique_ptr<PassThroughBackend>()>& makeBackend,
                 SystemRestart& restart, SleepInhibitor& inhibitor, DiagnosticSink& diagnostics,
                 const std::function<void(FlashDialog&)>& wire) {
    const std::string program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toStdString();
#ifdef Q_OS_LINUX
    if (const auto missing =
            MissingDisplay(program, [](const char* name) { return std::getenv(name); })) {
        std::fprintf(stderr, "%s\n", missing->c_str());
        return 1;
    }
#endif
    QApplication application(argc, argv);
    // The program ends when the dialog does, never because a message box was the last
    // window open.
    QApplication::setQuitOnLastWindowClosed(false);
    // One copy per user of the product. Said on standard error too, for a copy started
    // from a terminal.
    std::unique_ptr<InstanceLock> lock;
    if (singleInstance) {
        const QString name = QString::fromStdString(program);
        lock = InstanceLock::Acquire(program);
        for (const std::string& notice : lock ? lock->Notices() : std::vector<std::string>{}) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), notice.c_str());
        }
        if (!lock) {
            std::fprintf(stderr, "%s\n", std::string(kAnotherCopyRunning).c_str());
            std::fflush(stderr);
            QMessageBox::warning(
                nullptr, name,
                QString::fromLatin1(kAnotherCopyRunning.data(), kAnotherCopyRunning.size()));
            return 1;
        }
    }
    std::unique_ptr<PassThroughBackend> backend = makeBackend();
    if (!backend) {
        return 1;
    }
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
