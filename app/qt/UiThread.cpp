#include "app/qt/UiThread.h"

#include <QCoreApplication>
#include <QThread>

namespace flashtool {

namespace {

QEvent::Type ServeQueueEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

UiThreadCalls::UiThreadCalls() = default;

UiThreadCalls::~UiThreadCalls() = default;

bool UiThreadCalls::OnServingThread() const {
    return QThread::currentThread() == thread();
}

bool UiThreadCalls::RunAndWait(const std::function<void()>& work) {
    Pending pending{&work};
    // The event is made before the call is queued: the serving thread frees it only after
    // taking the mutex, which orders the free after this allocation for the sanitizer too.
    auto* event = new QEvent(ServeQueueEvent());
    {
        const std::lock_guard lock(mutex);
        if (abandoned) {
            delete event;
            return false;
        }
        queue.push_back(&pending);
    }
    QCoreApplication::postEvent(this, event);
    std::unique_lock lock(mutex);
    finished.wait(lock, [&pending] { return pending.done; });
    return pending.ran;
}

void UiThreadCalls::Abandon() {
    {
        const std::lock_guard lock(mutex);
        abandoned = true;
        for (Pending* pending : queue) {
            pending->done = true;
        }
        queue.clear();
        for (Pending* pending : running) {
            pending->done = true;
        }
        running.clear();
    }
    finished.notify_all();
}

bool UiThreadCalls::Abandoned() const {
    const std::lock_guard lock(mutex);
    return abandoned;
}

void UiThreadCalls::customEvent(QEvent* event) {
    {
        // The event was made on the worker before it queued its call under this mutex, and
        // Qt's own hand-over of the event is invisible to ThreadSanitizer: taking the mutex
        // first orders this read after the making for the sanitizer too.
        const std::lock_guard lock(mutex);
    }
    if (event->type() != ServeQueueEvent()) {
        return;
    }
    // Every call queued so far; a call that opens a message box runs a nested event loop,
    // which serves later calls through their own events.
    for (;;) {
        Pending* next = nullptr;
        {
            const std::lock_guard lock(mutex);
            if (queue.empty()) {
                return;
            }
            next = queue.front();
            queue.pop_front();
            running.push_back(next);
        }
        (*next->work)();
        {
            const std::lock_guard lock(mutex);
            // Abandoned meanwhile (the toolkit ended the program from inside this work, say):
            // its caller was released already, and `next` may be gone with its stack.
            if (!abandoned) {
                next->ran = true;
                next->done = true;
                std::erase(running, next);
            }
        }
        finished.notify_all();
    }
}

}  // namespace flashtool
