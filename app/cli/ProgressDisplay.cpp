#include "app/cli/ProgressDisplay.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "core/Format.h"

namespace flashtool {

namespace {

constexpr uint32_t kCountdownStepMs = 1000;
// A line of plain output at each quarter of a drive's pages.
constexpr uint32_t kEventParts = 4;

using Phase = ProgressDisplay::DriveState::Phase;

unsigned Percent(const ProgressDisplay::DriveState& state) {
    return state.total == 0 ? 0 : state.pages * 100 / state.total;
}

// "[3] 64/128 pages (50%), settling 5 s", and shorter forms of it.
std::vector<std::string> DriveForms(unsigned row, const ProgressDisplay::DriveState& state) {
    const std::string settle =
        state.settleSeconds == 0 ? "" : FormatText(", settling %u s", state.settleSeconds);
    const std::string pages = FormatText("[%u] %u/%u pages", row, state.pages, state.total);
    return {pages + FormatText(" (%u%%)", Percent(state)) + settle, pages + settle, pages};
}

// The drive written slowest: the least part of its pages, then the longest settle to go.
std::optional<std::pair<unsigned, ProgressDisplay::DriveState>> Slowest(
    const std::map<unsigned, ProgressDisplay::DriveState>& drives) {
    std::optional<std::pair<unsigned, ProgressDisplay::DriveState>> slowest;
    for (const auto& [row, state] : drives) {
        if (state.phase != Phase::Writing || state.total == 0) {
            continue;
        }
        const auto behind = [](const auto& a, const auto& b) {
            // a.pages / a.total < b.pages / b.total, without a division.
            const uint64_t left = uint64_t{a.pages} * b.total;
            const uint64_t right = uint64_t{b.pages} * a.total;
            return left != right ? left < right : a.settleSeconds > b.settleSeconds;
        };
        if (!slowest || behind(state, slowest->second)) {
            slowest = std::pair{row, state};
        }
    }
    return slowest;
}

// "20 done, 10 writing, 1 failed, 1 checking; slowest [17] 64/128 pages (50%)", and
// shorter forms of it.
std::vector<std::string> SeveralForms(
    const std::map<unsigned, ProgressDisplay::DriveState>& drives) {
    std::map<Phase, unsigned> counts;
    for (const auto& entry : drives) {
        ++counts[entry.second.phase];
    }
    std::string line =
        FormatText("%u done, %u writing, ", counts[Phase::Done], counts[Phase::Writing]);
    if (counts[Phase::Refused] != 0) {
        line += FormatText("%u refused, ", counts[Phase::Refused]);
    }
    line += FormatText("%u failed", counts[Phase::Failed]);
    if (counts[Phase::Checking] != 0) {
        line += FormatText(", %u checking", counts[Phase::Checking]);
    }
    std::vector<std::string> forms;
    if (const auto slowest = Slowest(drives)) {
        for (const std::string& drive : DriveForms(slowest->first, slowest->second)) {
            forms.push_back(line + "; slowest " + drive);
        }
    }
    forms.push_back(line);
    return forms;
}

}  // namespace

ProgressDisplay::ProgressDisplay(DiagnosticSink& outIn, ProgressOutput outputIn)
    : out(outIn), output(std::move(outputIn)) {}

std::string ProgressDisplay::StatusLine(const std::map<unsigned, DriveState>& drives, bool several,
                                        unsigned columns) {
    std::vector<std::string> forms;
    if (several) {
        forms = SeveralForms(drives);
    } else {
        for (const auto& [row, state] : drives) {
            if (state.total != 0 || state.settleSeconds != 0) {
                forms = DriveForms(row, state);
            }
        }
    }
    if (forms.empty()) {
        return {};
    }
    const size_t width = std::max(columns, 2u) - 1;
    for (const std::string& form : forms) {
        if (form.size() <= width) {
            return form;
        }
    }
    return forms.back().substr(0, width);
}

void ProgressDisplay::Write(std::string_view text) {
    // The live line, when there is one, is taken care of by the stream it is written to.
    out.Write(text);
}

void ProgressDisplay::AddDrives(std::span<const unsigned> rows) {
    std::lock_guard lock(mutex);
    for (const unsigned row : rows) {
        drives[row];
    }
    several = drives.size() > 1;
}

void ProgressDisplay::Redraw() {
    const std::string line = StatusLine(drives, several, output.columns ? output.columns() : 80u);
    if (line != shown) {
        shown = line;
        output.live->Show(line);
    }
}

void ProgressDisplay::Event(std::string line) {
    if (output.events) {
        out.Write(line + "\n");
    }
}

void ProgressDisplay::PagesTaken(unsigned row, uint32_t done, uint32_t total) {
    std::lock_guard lock(mutex);
    DriveState& state = drives[row];
    const unsigned before = state.pages;
    state.phase = Phase::Writing;
    state.pages = done;
    state.total = total;
    if (output.live != nullptr) {
        Redraw();
        return;
    }
    const bool quarter = total != 0 && done * kEventParts / total != before * kEventParts / total;
    if (done == 1 || quarter) {
        Event(DriveForms(row, state).front());
    }
}

void ProgressDisplay::Settling(unsigned row, unsigned seconds) {
    std::lock_guard lock(mutex);
    DriveState& state = drives[row];
    const unsigned before = state.settleSeconds;
    state.settleSeconds = seconds;
    if (output.live != nullptr) {
        Redraw();
    } else if (before == 0 && seconds != 0) {
        Event(FormatText("[%u] settling %u s", row, seconds));
    }
}

void ProgressDisplay::Ended(unsigned row, Outcome outcome) {
    std::lock_guard lock(mutex);
    DriveState& state = drives[row];
    state.phase = outcome == Outcome::Done      ? Phase::Done
                  : outcome == Outcome::Refused ? Phase::Refused
                                                : Phase::Failed;
    state.settleSeconds = 0;
    if (output.live != nullptr) {
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
    if (output.live != nullptr) {
        output.live->Clear();
    }
    shown.clear();
}

void CountdownClock::SleepMs(uint32_t milliseconds) {
    if (milliseconds < kCountdownStepMs || progress.PagesSent(row) == 0) {
        inner.SleepMs(milliseconds);
        return;
    }
    const auto seconds = [](uint32_t ms) { return (ms + kCountdownStepMs - 1) / kCountdownStepMs; };
    if (!progress.Drawing()) {
        progress.Settling(row, seconds(milliseconds));
        inner.SleepMs(milliseconds);
        progress.Settling(row, 0);
        return;
    }
    for (uint32_t left = milliseconds; left > 0;) {
        progress.Settling(row, seconds(left));
        const uint32_t step = std::min(left, kCountdownStepMs);
        inner.SleepMs(step);
        left -= step;
    }
    progress.Settling(row, 0);
}

}  // namespace flashtool
