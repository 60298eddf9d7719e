// The single-instance lock on Windows: a named mutex in the session's own namespace, so
// that a user of another session cannot hold it and keep this one from starting.

#include <windows.h>

#include "core/InstanceLock.h"

namespace flashtool {

namespace {

class MutexLock final : public InstanceLock {
public:
    explicit MutexLock(HANDLE mutex) : mutex(mutex) {}
    ~MutexLock() override {
        if (mutex != nullptr) {
            CloseHandle(mutex);
        }
    }
    bool Guarding() const override { return mutex != nullptr; }

private:
    HANDLE mutex;
};

}  // namespace

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view name) {
    std::wstring wide = L"Local\\";
    for (const char c : name) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    HANDLE mutex = CreateMutexW(nullptr, TRUE, wide.c_str());
    if (mutex == nullptr) {
        return std::make_unique<MutexLock>(nullptr);
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return nullptr;
    }
    return std::make_unique<MutexLock>(mutex);
}

}  // namespace flashtool
