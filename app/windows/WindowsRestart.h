#pragma once

// Restarting Windows: a process on an NT system may restart the machine only with the
// shutdown privilege enabled in its token, so that privilege is enabled first. A refused
// request returns false; the dialog then tells the user.

#include <memory>

#include "app/windows/RestartApi.h"
#include "core/SystemRestart.h"

namespace flashtool {

class WindowsRestart final : public SystemRestart {
public:
    explicit WindowsRestart(std::shared_ptr<RestartApi> api);
    bool RequestRestart() override;

private:
    void EnableShutdownPrivilege();

    std::shared_ptr<RestartApi> api;
};

}  // namespace flashtool
