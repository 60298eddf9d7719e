#pragma once

// Keeps settling away from runs in progress. A run's mark says "this drive is being
// written"; a copy of the program that reads the history at that moment (the window's scan,
// --list, another model's program, the emulated program) must not take the mark for a run
// cut short and settle it against a drive that is still being written.
//
// So every run holds a lock in the history's folder from just before its mark to just after
// its record, shared with every other run in any process; settling takes the same lock
// alone, and only when no run holds it: it never waits, and what it cannot lock it leaves
// for a later start. A run that finds a copy settling waits for it (a few reads of a drive).
// The system gives the lock up when a process ends however it ends, so a run cut short by a
// crash leaves a mark that the next start can settle.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "history/HistoryPlace.h"

namespace flashtool {

inline constexpr std::string_view kRunLockFileName = "runs.lock";

class HistoryLock {
public:
    enum class Mode : uint8_t {
        Run,     // shared with every other run; waits while a copy settles
        Settle,  // alone; never waits
    };

    struct Taking;
    // Takes the lock of the place's folder (HistoryFilePosix.cpp, HistoryFileWindows.cpp),
    // making the folder and the lock's file where they are missing.
    static Taking Take(const HistoryPlace& place, Mode mode);

    explicit HistoryLock(std::intptr_t handle) : handle(handle) {}
    ~HistoryLock();
    HistoryLock(const HistoryLock&) = delete;
    HistoryLock& operator=(const HistoryLock&) = delete;

private:
    std::intptr_t handle;  // the platform's open lock file
};

struct HistoryLock::Taking {
    std::unique_ptr<HistoryLock> lock;  // none: busy or failed
    bool busy = false;                  // a run holds it (Settle only)
    std::string error;                  // it could not be taken, in words
};

}  // namespace flashtool
