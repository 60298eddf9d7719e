#pragma once

// Progress on a terminal: one status line at the bottom, rewritten in place, with each
// drive's pages sent and then its settle countdown. Every other line of output passes
// through here, so that the status line is cleared before it and drawn again after it.
// Not on a terminal (or with --json) nothing is drawn and no control character is written.

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "core/Clock.h"
#include "core/Diagnostics.h"

namespace flashtool {

class ProgressDisplay final : public DiagnosticSink {
public:
    ProgressDisplay(DiagnosticSink& out, bool draw) : out(out), draw(draw) {}

    bool Drawing() const { return draw; }
    void Write(std::string_view text) override;
    // The drive at `row` has taken `done` pages of `total`.
    void PagesTaken(unsigned row, uint32_t done, uint32_t total);
    // Seconds of the settle wait still to go; 0 when it is over.
    void Settling(unsigned row, unsigned seconds);
    unsigned PagesSent(unsigned row) const;
    // Clears the status line for good.
    void Finish();

private:
    struct DriveState {
        unsigned pages = 0;
        unsigned total = 0;
        unsigned settleSeconds = 0;
    };
    std::string StatusLine() const;
    void Redraw();

    DiagnosticSink& out;
    const bool draw;
    mutable std::mutex mutex;
    std::map<unsigned, DriveState> drives;
    bool shown = false;
};

// A clock whose long waits after the pages were sent (the settle time) count down on the
// progress display, a second at a time; every other wait goes to the clock whole.
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
