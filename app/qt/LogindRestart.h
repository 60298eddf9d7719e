#pragma once

// The restart of the Linux build: asks the login manager (systemd-logind or elogind) to
// reboot. With interactive set, the policy agent may ask the user for authorisation; a
// refusal, a missing login manager or no answer is a failed request.

#include <QDBusMessage>

#include "core/SystemRestart.h"

namespace flashtool {

class LogindRestart final : public SystemRestart {
public:
    // How long the user may take to authorise the restart.
    static constexpr int kReplyTimeoutMs = 5 * 60 * 1000;

    bool RequestRestart() override;
};

// org.freedesktop.login1.Manager.Reboot(interactive = true) on the system bus.
QDBusMessage RebootRequest();

}  // namespace flashtool
