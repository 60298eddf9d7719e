#include "app/cli/ProgressDisplay.h"

#include <algorithm>

#include "core/Format.h"

namespace flashtool {

namespace {
// Back to the line's start, and erase it.
constexpr std::string_view kClearLine = "\r\x1b[K";
constexpr uint32_t kCountdownStepMs = 1000;
}  // namespace

std::string ProgressDisplay::StatusLine() const {
    std::string line;
    for (const auto& [row, state] : drives) {
        line += line.empty() ? "" : "  ";
        const unsigned percent = state.total == 0 ? 0 : state.pages * 100 / state.total;
        line += FormatText("[%u] %u/%u pages (%u%%)", row, state.pages, state.total, percent);
        if (state.settleSeconds != 0) {
            line += FormatText(", settling %u s", state.settleSeconds);
        }
    }
    return line;
}

void ProgressDisplay::Write(std::string_view text) {
    std::lock_guard lock(mutex);
    if (!draw || !shown) {
        out.Write(text);
        return;
    }
    // A part line (a question waiting for its answer) stays on screen as it is.
    const bool wholeLines = text.ends_with('\n');
    out.Write(std::string(kClearLine) + std::string(text) +
              (wholeLines ? StatusLine() : std::string()));
    shown = wholeLines;
}

void ProgressDisplay::Redraw() {
    out.Write(std::string(kClearLine) + StatusLine());
    shown = true;
}

void ProgressDisplay::PagesTaken(unsigned row, uint32_t done, uint32_t total) {
    std::lock_guard lock(mutex);
    drives[row].pages = done;
    drives[row].total = total;
    if (draw) {
        Redraw();
    }
}

void ProgressDisplay::Settling(unsigned row, unsigned seconds) {
    std::lock_guard lock(mutex);
    drives[row].settleSeconds = seconds;
    if (draw) {
        Redraw();
    }
}

unsigned ProgressDisplay::PagesSent(unsigned row) const {
    std::lock_guard lock(mutex);
    const auto state = drives.find(row);
    return state == drives.end() ? 0 : state->second.pages;
}

void ProgressDisplay::Finish() {
    std::lock_guard lock(mutex);
    if (draw && shown) {
        out.Write(kClearLine);
    }
    shown = false;
}

void CountdownClock::SleepMs(uint32_t milliseconds) {
    if (!progress.Drawing() || milliseconds < kCountdownStepMs || progress.PagesSent(row) == 0) {
        inner.SleepMs(milliseconds);
        return;
    }
    for (uint32_t left = milliseconds; left > 0;) {
        progress.Settling(row, (left + kCountdownStepMs - 1) / kCountdownStepMs);
        const uint32_t step = std::min(left, kCountdownStepMs);
        inner.SleepMs(step);
        left -= step;
    }
    progress.Settling(row, 0);
}

}  // namespace flashtool
