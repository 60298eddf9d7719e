// The interrupt guard on Windows: the console's control events, through
// SetConsoleCtrlHandler. The system runs the handler on a thread of its own for each event,
// which is where the guard decides, as its waiting thread does on POSIX systems.

#include <windows.h>

#include <atomic>
#include <string>

#include "app/cli/InterruptGuard.h"

namespace flashtool {

namespace {

// The guard of this process; a console has one handler list per process.
std::atomic<InterruptGuard*> current{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    InterruptGuard* guard = current.load();
    return guard != nullptr && guard->ConsoleEvent(event) ? TRUE : FALSE;
}

// The names said when the event ends the program: the C runtime's for the two keys (so that
// a script matching the Linux program's words finds them), plain words for the rest.
std::string EventName(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return "SIGINT";
        case CTRL_BREAK_EVENT:
            return "SIGBREAK";
        case CTRL_CLOSE_EVENT:
            return "the console's closing";
        case CTRL_LOGOFF_EVENT:
            return "the user's logoff";
        case CTRL_SHUTDOWN_EVENT:
            return "the system's shutdown";
        default:
            return "console event " + std::to_string(event);
    }
}

}  // namespace

// Console events arrive on threads of their own: there is nothing to block.
void BlockInterruptSignals() {}

InterruptGuard::InterruptGuard(DiagnosticSink& err, std::string program, WriteWindow& window)
    : err(err), program(std::move(program)), window(window) {
    current.store(this);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptGuard::~InterruptGuard() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    current.store(nullptr);
}

bool InterruptGuard::ConsoleEvent(unsigned long event) {
    const bool closing =
        event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (!closing && event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return false;
    }
    // Ends the program here unless a drive is being written; refused (one line) if one is.
    Interrupted(EventName(event));
    if (closing) {
        // Windows ends the process as soon as this returns. The command line's window stays
        // open until main returns (WriteWindow::StayOpenOnceOpened), so this waits for the
        // run's ending, its record, its document and its status: the process ends with them.
        // Windows kills a process that takes too long over a close (about five seconds; a
        // logoff or shutdown may wait longer), and the history's begun mark then tells the
        // next start that the run was cut.
        for (;;) {
            Sleep(INFINITE);
        }
    }
    return true;
}

}  // namespace flashtool
