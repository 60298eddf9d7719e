#include "core/WriteWindow.h"

namespace flashtool {

void WriteWindow::Open() {
    std::unique_lock lock(mutex);
    // The program is on its way out: this run never gets to send anything.
    changed.wait(lock, [this] { return !ending; });
    if (stayOpen && !anyOpened) {
        ++open;  // never closed
    }
    ++open;
    anyOpened = true;
}

void WriteWindow::Close() {
    std::function<void()> hook;
    {
        const std::lock_guard lock(mutex);
        if (open > 0) {
            --open;
        }
        if (open == 0) {
            hook = allClosed;
        }
    }
    changed.notify_all();
    if (hook) {
        hook();
    }
}

bool WriteWindow::IsOpen() const {
    const std::lock_guard lock(mutex);
    return open > 0;
}

bool WriteWindow::AnyOpened() const {
    const std::lock_guard lock(mutex);
    return anyOpened;
}

bool WriteWindow::TryEnd() {
    const std::lock_guard lock(mutex);
    if (open > 0) {
        return false;
    }
    ending = true;
    return true;
}

void WriteWindow::EndWhenClosed() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return open == 0; });
    ending = true;
}

bool WriteWindow::EndNowUnlessOpen(const std::function<void(bool anyOpened)>& end) {
    const std::lock_guard lock(mutex);
    if (open > 0 || finishing) {
        return false;
    }
    ending = true;
    end(anyOpened);
    return true;
}

void WriteWindow::Finishing() {
    const std::lock_guard lock(mutex);
    finishing = true;
}

bool WriteWindow::IsFinishing() const {
    const std::lock_guard lock(mutex);
    return finishing;
}

void WriteWindow::StayOpenOnceOpened() {
    const std::lock_guard lock(mutex);
    stayOpen = true;
}

void WriteWindow::WhenAllClosed(std::function<void()> hook) {
    const std::lock_guard lock(mutex);
    allClosed = std::move(hook);
}

}  // namespace flashtool
