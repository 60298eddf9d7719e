#include "app/qt/FlashToolApplication.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "app/cli/InterruptGuard.h"
#include "app/cli/Terminal.h"
#include "core/InstanceLock.h"
#include "data/EmbeddedRegion.h"

namespace flashtool {

namespace {

// What the program's exit must wait for: the window and the run of this process.
struct ExitWait {
    WriteWindow* writeWindow = nullptr;
    FlashToolApplication* tool = nullptr;
    std::string program;
};
ExitWait exitWait;

// The toolkit ends the program with exit() when its display goes away (the X server died,
// the session ended). In the middle of a write that would cut the drive off: instead the run
// goes on without a window (its lines on standard error, its questions answered Cancel), is
// recorded, and only then does the exit go on.
void WaitForTheRunAtExit() {
    if (exitWait.writeWindow == nullptr || exitWait.writeWindow->TryEnd()) {
        return;  // no drive is being written, and from now on none will be
    }
    std::fprintf(stderr,
                 "%s: the window is gone while a drive is written; the update goes on, and the "
                 "program ends once its ending is recorded.\n",
                 exitWait.program.c_str());
    std::fflush(stderr);
    exitWait.tool->Window().Detach();
    exitWait.writeWindow->EndWhenClosed();
    exitWait.tool->Dialog().WaitForRun();
}

}  // namespace

FlashToolApplication::FlashToolApplication(std::unique_ptr<PassThroughBackend> backend,
                                           SystemRestart& restart, SleepInhibitor& inhibitor,
                                           Clock& clock, DiagnosticSink& diagnostics,
                                           std::span<const uint8_t> storedRegion,
                                           WriteWindow* writeWindow)
    : dialog(FlashDialogParts{window, std::move(backend), storedRegion, restart, clock, diagnostics,
                              inhibitor, writeWindow}) {
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

int RunFlashTool(int argc, char* argv[], const std::string& program, bool singleInstance,
                 const std::function<std::unique_ptr<PassThroughBackend>()>& makeBackend,
                 SystemRestart& restart, SleepInhibitor& inhibitor, DiagnosticSink& diagnostics,
                 const std::function<void(FlashDialog&)>& wire) {
#ifdef Q_OS_LINUX
    if (const auto missing =
            MissingDisplay(program, [](const char* name) { return std::getenv(name); })) {
        std::fprintf(stderr, "%s\n", missing->c_str());
        return 1;
    }
#endif
    QApplication application(argc, argv);
    // Message boxes are titled with it.
    QApplication::setApplicationName(QString::fromStdString(program));
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
    WriteWindow writeWindow;
    StderrDiagnostics err;
    FlashToolApplication tool(std::move(backend), restart, inhibitor, clock, diagnostics,
                              EmbeddedStoredRegion(), &writeWindow);
    InterruptGuard interrupts(err, program, writeWindow);
    // A refusal is said in the window too, where the operator looks.
    interrupts.AlsoTell([&tool](std::string_view line) { tool.Dialog().AppendLog(line); });
    exitWait = {&writeWindow, &tool, program};
    static const bool registered = std::atexit(WaitForTheRunAtExit) == 0;
    static_cast<void>(registered);
    if (wire) {
        wire(tool.Dialog());
    }
    tool.Run();
    // The dialog has ended, which it never does during a run.
    exitWait = {};
    return 0;
}

}  // namespace flashtool
