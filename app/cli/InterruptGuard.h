#pragma once

// Ctrl+C, a closed ssh session, a logout or a kill must never cut a firmware write short: a
// drive stopped between its first page and its settle may not start again, and a run whose
// ending nobody saw or kept leaves the operator guessing. Both front-ends, the window and the
// command line, take SIGINT, SIGTERM, SIGHUP and SIGQUIT away from every thread and read them
// on one thread of their own. While no run is in its write window (WriteWindow) an interrupt
// ends the program at once (exit 130); while one is, it is refused with one line and the run
// goes on to its end. Ctrl+Z (SIGTSTP), and the stops of a background job that touches the
// terminal (SIGTTIN, SIGTTOU), are held off until the last write window closes, then stop
// the program as they would have.
//
// On Windows the console's control events stand for the signals: Ctrl+C (SIGINT) and
// Ctrl+Break are refused or end the program as SIGINT does; a closed console, a logoff and a
// shutdown as SIGHUP does, except that a refused one holds the process until it has ended
// by itself, since Windows kills it when the handler returns. There is no stopping a process
// on Windows, so nothing is held off.
//
// The decision to end is taken under the write window's own lock, so no run can open its
// window (and send a drive-changing command) once the program has decided to end.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/Diagnostics.h"
#include "core/WriteWindow.h"

namespace flashtool {

inline constexpr std::string_view kCannotInterruptNow =
    "The firmware is being written; it cannot be interrupted now.";
inline constexpr std::string_view kStopHeldOff =
    "The firmware is being written; the program stops once the update has ended.";

// Blocks the interrupting and stopping signals in the calling thread and ignores SIGPIPE, so
// that a closed pipe or terminal is a failed write and never the program's end. Called by
// main before any thread starts: every later thread inherits the mask, and only the guard's
// own thread ever receives those signals. Nothing on Windows, whose console events come on
// threads of their own.
void BlockInterruptSignals();

class InterruptGuard {
public:
    // `err` gets the guard's lines (standard error); `program` starts the line said when
    // the program ends.
    InterruptGuard(DiagnosticSink& err, std::string program, WriteWindow& window);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Also tells each refusal there (the window's log), besides standard error.
    void AlsoTell(std::function<void(std::string_view line)> tell);
    // Runs right before the program ends on an interrupt, with the reason said (without the
    // program's name): the command line's JSON document, say. Must not wait for a run.
    void BeforeEnding(std::function<void(std::string_view reason)> last);
#ifdef _WIN32
    // A console's control event (CTRL_C_EVENT ...), on the thread the system starts for it;
    // true when handled here. Windows ends the process once a close, logoff or shutdown
    // event's handler returns, so inside a write window this one never returns: the process
    // ends when main does, with the run's own ending, document and status.
    bool ConsoleEvent(unsigned long event);
#endif

private:
    void Wait();
    // Ends the program now (exit 130, a line naming `name`, the last words) unless a window
    // is open; refuses with one line while one is.
    void Interrupted(std::string_view name);
    void Stop(int signal);
    void ResumeHeldStop();

    DiagnosticSink& err;
    std::string program;
    WriteWindow& window;
    std::mutex mutex;
    std::function<void(std::string_view)> tell;
    std::function<void(std::string_view)> last;
    int heldStop = 0;  // a stopping signal that came while a drive was written
    bool stopping = false;
    std::thread waiter;
};

}  // namespace flashtool
