#pragma once

// The stretch of a run during which the program must not end: from right before the first
// command that changes a drive until the run's ending has been decided, shown and recorded.
// A drive stopped between its first page and its settle may not start again, and a run whose
// ending nobody saw or kept leaves the operator guessing. Every front-end shares this one
// object: the runs open and close it; what would end the program (a signal, a console close,
// the toolkit's exit, a closed display) asks it first, and either ends the program while no
// run can open it, or waits, or is refused.
//
// Several windows may be open at once (several drives of --all). Thread-safe.

#include <condition_variable>
#include <functional>
#include <mutex>

namespace flashtool {

class WriteWindow {
public:
    // One more run about to change a drive. Once the program has decided to end, never
    // returns: no drive-changing command may follow that decision.
    void Open();
    // That run's ending is shown and recorded. When no window is left open, the hook given to
    // WhenAllClosed runs (on the closing thread, outside the lock).
    void Close();

    bool IsOpen() const;
    // Whether any run has opened a window so far.
    bool AnyOpened() const;

    // The program decides to end: true when no window is open, and from then on Open()
    // blocks for good; false (and nothing changes) while a run is in its window.
    bool TryEnd();
    // Blocks until no window is open, then decides to end as TryEnd does.
    void EndWhenClosed();
    // Runs `end` under the window's lock when no window is open, so that no run opens one
    // meanwhile; `end` (told whether any window was ever opened) does not return: it ends
    // the process. False while a window is open.
    bool EndNowUnlessOpen(const std::function<void(bool anyOpened)>& end);

    // From the first Open on, one window stays open for the rest of the program: the command
    // line's closing lines, its JSON document and its exit status belong to the run too.
    void StayOpenOnceOpened();
    // The program is writing its last words (the command line's JSON document) and ends by
    // itself right after: from now on nothing else ends it, and nobody need say why.
    void Finishing();
    bool IsFinishing() const;

    // What runs whenever the last open window closes (a held-off suspension, say).
    void WhenAllClosed(std::function<void()> hook);

private:
    mutable std::mutex mutex;
    std::condition_variable changed;
    int open = 0;
    bool anyOpened = false;
    bool ending = false;
    bool stayOpen = false;
    bool finishing = false;
    std::function<void()> allClosed;
};

}  // namespace flashtool
