#pragma once

// Progress while drives are written. On a terminal: one status line at its foot, drawn in
// place (LiveLine) and never wider than the terminal. For one drive it shows the pages sent
// and then the settle countdown ("[0] 64/128 pages (50%)"); for several, how many are done,
// writing and failed (and refused, and still at their checks), and the slowest one's pages.
// Elsewhere (a file, a pipe) nothing is drawn: a plain line tells each drive's events (its first
// page, each quarter of its pages, its settle), so a log shows the run without a line per page.
// Every other line of the action passes through here as well.

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>

#include "app/cli/LiveLine.h"
#include "core/Clock.h"
#include "core/Diagnostics.h"

namespace flashtool {

struct ProgressOutput {
    // Draw on this terminal line; none: plain event lines (or nothing, without `events`).
    LiveLine* live = nullptr;
    // The terminal's width, asked at each drawing.
    std::function<unsigned()> columns;
    // Without a line to draw, write a line per event (false: --json, --quiet).
    bool events = false;
};

class ProgressDisplay final : public DiagnosticSink {
public:
    ProgressDisplay(DiagnosticSink& out, ProgressOutput output);

    bool Drawing() const { return output.live != nullptr; }
    void Write(std::string_view text) override;
    // The drives of the action, before any is written: with several, the status line
    // counts them.
    void AddDrives(std::span<const unsigned> rows);
    // The drive at `row` has taken `done` pages of `total`.
    void PagesTaken(unsigned row, uint32_t done, uint32_t total);
    // Seconds of the settle wait still to go; 0 when it is over.
    void Settling(unsigned row, unsigned seconds);
    // How a drive's run ended, as the status line counts it.
    enum class Outcome : uint8_t { Done, Refused, Failed };
    void Ended(unsigned row, Outcome outcome);
    unsigned PagesSent(unsigned row) const;
    // Clears the status line for good.
    void Finish();

    // The status line for these drives, cut to `columns` (one less: a line that fills the
    // last column makes some terminals wrap).
    struct DriveState {
        enum class Phase : uint8_t { Checking, Writing, Done, Refused, Failed };
        Phase phase = Phase::Checking;
        unsigned pages = 0;
        unsigned total = 0;
        unsigned settleSeconds = 0;
    };
    static std::string StatusLine(const std::map<unsigned, DriveState>& drives, bool several,
                                  unsigned columns);

private:
    void Redraw();
    void Event(std::string line);

    DiagnosticSink& out;
    const ProgressOutput output;
    mutable std::mutex mutex;
    std::map<unsigned, DriveState> drives;
    bool several = false;
    std::string shown;  // the status line last drawn
};

// A clock whose long waits after the pages were sent (the settle time) count down on the
// progress display, a second at a time (plain output: one line when it starts); every other
// wait goes to the clock whole.
class CountdownClock final : public Clock {
public:
    CountdownClock(Clock& inner, ProgressDisplay& progress, unsigned row)
        : inner(inner), progress(progress), row(row) {}
    void SleepMs(uint32_t milliseconds) override;
    // The drive the waits are for, once it is known (--update finds it after the scan).
    void SetRow(unsigned newRow) { row = newRow; }

private:
    Clock& inner;
    ProgressDisplay& progress;
    std::atomic<unsigned> row;
};

}  // namespace flashtool
