#pragma once

// The keep-awake lock of the Windows program: the calling thread tells the system that it
// needs the computer running (SetThreadExecutionState) until the lock is released, which
// must happen on the same thread (the flash run takes and drops it within one scope).

#include "core/SleepInhibitor.h"

namespace flashtool::win32 {

class ExecutionStateInhibitor final : public SleepInhibitor {
public:
    std::unique_ptr<Lock> Acquire(std::string_view who, std::string_view why) override;
};

}  // namespace flashtool::win32
