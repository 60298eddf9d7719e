#pragma once

// Runs work on the thread that owns a QObject (the user-interface thread for a widget) and
// waits for it. A call already on that thread runs at once: a blocking queued call from
// the owning thread itself would wait for itself forever.

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <optional>
#include <type_traits>
#include <utility>

namespace flashtool {

template <typename Work>
auto OnOwnerThread(const QObject* owner, Work&& work) -> std::invoke_result_t<Work&> {
    using Result = std::invoke_result_t<Work&>;
    if (QThread::currentThread() == owner->thread()) {
        return work();
    }
    QObject* context = const_cast<QObject*>(owner);
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(
            context, [&work] { work(); }, Qt::BlockingQueuedConnection);
    } else {
        std::optional<Result> result;
        QMetaObject::invokeMethod(
            context, [&] { result.emplace(work()); }, Qt::BlockingQueuedConnection);
        return std::move(*result);
    }
}

}  // namespace flashtool
