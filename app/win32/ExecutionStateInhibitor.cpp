#include "app/win32/ExecutionStateInhibitor.h"

#include <windows.h>

namespace flashtool::win32 {

namespace {

class ExecutionStateLock final : public SleepInhibitor::Lock {
public:
    ~ExecutionStateLock() override { SetThreadExecutionState(ES_CONTINUOUS); }
};

}  // namespace

std::unique_ptr<SleepInhibitor::Lock> ExecutionStateInhibitor::Acquire(std::string_view,
                                                                       std::string_view) {
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
        return nullptr;
    }
    return std::make_unique<ExecutionStateLock>();
}

}  // namespace flashtool::win32
