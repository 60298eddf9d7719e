#pragma once

// Runs work on the user-interface thread and waits for it. The hand-off is ours, not Qt's
// blocking queued call: the call waits in a queue under our own mutex, a plain event tells
// the user-interface thread to serve the queue, and the caller sleeps on our own condition
// variable until its call has run. Qt's libraries are not built with ThreadSanitizer, so
// a wait inside them hides every happens-before edge of the hand-off from it; with the
// mutex and the condition variable in our code the sanitizer sees each one.
//
// The user-interface thread serves the queue in every event loop it runs, a message box's
// included, so a worker is never kept waiting behind a box. A call made on the serving
// thread itself runs at once: a queued call from that thread would wait for itself. The
// object must outlive every caller that may still be waiting (the dialog never ends under
// a worker).
//
// When the user-interface thread will serve nothing any more (the toolkit is ending the
// program, its display gone), Abandon() releases every caller: a call waiting, or made
// later, returns without having run, and its caller goes on without the window.

#include <QEvent>
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace flashtool {

class UiThreadCalls final : public QObject {
public:
    // Serves the thread it is made on.
    UiThreadCalls();
    ~UiThreadCalls() override;
    UiThreadCalls(const UiThreadCalls&) = delete;
    UiThreadCalls& operator=(const UiThreadCalls&) = delete;

    bool OnServingThread() const;
    // Queues `work` for the serving thread and returns once it has run there: true. False
    // when it was abandoned before it ran (or will never run).
    bool RunAndWait(const std::function<void()>& work);
    // No call is served from now on; the waiting ones return false.
    void Abandon();
    bool Abandoned() const;

protected:
    void customEvent(QEvent* event) override;

private:
    struct Pending {
        const std::function<void()>* work;
        bool done = false;
        bool ran = false;
    };

    mutable std::mutex mutex;
    std::condition_variable finished;
    std::deque<Pending*> queue;
    // The calls the serving thread is in: a box's event loop serves the next call while the
    // outer one waits on this thread's stack.
    std::vector<Pending*> running;
    bool abandoned = false;
};

// Runs `work` on the serving thread; a call that was abandoned gives a value-initialised
// result (callers whose result must never be guessed check Abandoned()).
template <typename Work>
auto OnOwnerThread(UiThreadCalls& calls, Work&& work) -> std::invoke_result_t<Work&> {
    using Result = std::invoke_result_t<Work&>;
    if (calls.OnServingThread()) {
        return work();
    }
    if constexpr (std::is_void_v<Result>) {
        calls.RunAndWait([&work] { work(); });
    } else {
        std::optional<Result> result;
        calls.RunAndWait([&] { result.emplace(work()); });
        return result ? std::move(*result) : Result{};
    }
}

}  // namespace flashtool
