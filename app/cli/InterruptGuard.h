#pragma once

// Ctrl+C, a closed ssh session or a kill must never cut a firmware write short: a drive
// stopped between its first page and its settle may not start again. The command line takes
// SIGINT, SIGTERM, SIGHUP and SIGQUIT away from every thread and reads them on one thread
// of its own. Before any drive is changed an interrupt ends the program at once (exit 130);
// while a drive is written it is refused with one line and the run goes on to its end.
//
// The decision to end and a drive's entry into its write are ordered by one mutex: the
// program ends while holding it, and a run takes it to open its write window, so no run
// can send a drive-changing command once the program has decided to end.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/Diagnostics.h"
#include "core/SleepInhibitor.h"

namespace flashtool {

inline constexpr std::string_view kCannotInterruptNow =
    "The firmware is being written; it cannot be interrupted now.";

// Blocks the interrupting signals in the calling thread and ignores SIGPIPE, so that a
// closed pipe or terminal is a failed write and never the program's end. Called by main
// before any thread starts: every later thread inherits the mask, and only the guard's own
// thread ever receives those signals.
void BlockInterruptSignals();

class InterruptGuard {
public:
    // `err` gets the guard's lines (standard error); `program` starts the line said when
    // the program ends.
    InterruptGuard(DiagnosticSink& err, std::string program);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // A drive's write window, from right before its first drive-changing command to the end
    // of its settle; several are open at once with --all. Opening waits while the program
    // is ending, which it never comes back from.
    void OpenWriteWindow();
    void CloseWriteWindow();

private:
    void Wait();
    void Interrupted(int signal);

    DiagnosticSink& err;
    std::string program;
    std::mutex mutex;
    int openWindows = 0;
    bool anyWritten = false;
    bool stopping = false;
    std::thread waiter;
};

// The keep-awake lock a run takes before its first drive-changing command and gives up
// after its settle (FlashRun), wrapped so that the same moments open and close the guard's
// write window.
class WriteWindowInhibitor final : public SleepInhibitor {
public:
    WriteWindowInhibitor(SleepInhibitor& inner, InterruptGuard& guard)
        : inner(inner), guard(guard) {}
    std::unique_ptr<Lock> Acquire(std::string_view who, std::string_view why) override;

private:
    SleepInhibitor& inner;
    InterruptGuard& guard;
};

}  // namespace flashtool
