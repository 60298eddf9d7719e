#pragma once

// The system restart seam. Linux asks the login manager over D-Bus; Windows enables the
// shutdown privilege and asks the system; the emulated build only logs the request; tests
// use a fake. No test ever restarts the machine.

namespace flashtool {

class SystemRestart {
public:
    virtual ~SystemRestart() = default;
    // Asks the system to restart now. False when the request was refused.
    virtual bool RequestRestart() = 0;
};

}  // namespace flashtool
