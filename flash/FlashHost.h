#pragma once

// What the flash run needs from the main window besides the gating's services: the
// progress bar and its heartbeat timer, the two command buttons, the Close item of the
// window menu, and the restart. Every call may come from the flash worker; the window
// carries it to the user-interface thread and returns when it has been done there.

#include <cstdint>

#include "policy/GatingHost.h"

namespace flashtool {

class FlashHost : public GatingHost {
public:
    virtual void SetProgressPos(int position) = 0;
    // Timer 1: every 700 ms the progress bar advances by one step.
    virtual void StartProgressTimer() = 0;
    virtual void StopProgressTimer() = 0;
    virtual void EnableButtons(bool enabled) = 0;
    // Greys (false) or enables the Close item of the window menu.
    virtual void SetCloseEnabled(bool enabled) = 0;
    // Restarts the computer, or tells the user that the system refused.
    virtual void Reboot() = 0;
    // After each page the drive took: how many so far, of how many. The window's bar is a
    // heartbeat and ignores it; the command line shows it.
    virtual void TransferProgress(uint32_t done, uint32_t total) {
        static_cast<void>(done);
        static_cast<void>(total);
    }
};

}  // namespace flashtool
