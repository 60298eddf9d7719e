#pragma once

// Carries a call over to the window's thread and waits for it: the worker sends the
// dialog a private message whose parameter points at the call, and SendMessage returns
// once the dialog procedure has run it. The window thread serves sent messages in every
// message loop it runs, its message boxes' included, so the worker is never kept waiting
// behind a box. A call already on the window's thread (or before the window exists) runs
// at once: sending would not wait for itself, but there is nothing to carry over either.

#include <windows.h>

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace flashtool::win32 {

// lParam: a const std::function<void()>*; the dialog procedure runs it.
constexpr UINT kRunOnWindowThreadMessage = WM_APP + 0x100;

template <typename Work>
auto OnWindowThread(HWND window, DWORD windowThread, Work&& work) -> std::invoke_result_t<Work&> {
    using Result = std::invoke_result_t<Work&>;
    if (window == nullptr || GetCurrentThreadId() == windowThread) {
        return work();
    }
    if constexpr (std::is_void_v<Result>) {
        const std::function<void()> call = [&work] { work(); };
        SendMessageW(window, kRunOnWindowThreadMessage, 0, reinterpret_cast<LPARAM>(&call));
    } else {
        std::optional<Result> result;
        const std::function<void()> call = [&] { result.emplace(work()); };
        SendMessageW(window, kRunOnWindowThreadMessage, 0, reinterpret_cast<LPARAM>(&call));
        // The dialog never ends while a worker uses it; should the window be gone all the
        // same, the call did not run and the answer is the empty one.
        return result ? std::move(*result) : Result{};
    }
}

// The dialog procedure's side.
inline void RunSentCall(LPARAM parameter) {
    (*reinterpret_cast<const std::function<void()>*>(parameter))();
}

}  // namespace flashtool::win32
