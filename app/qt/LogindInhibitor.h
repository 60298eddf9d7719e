#pragma once

// The keep-awake lock of the Linux build: an inhibitor lock of the login manager
// (systemd-logind or elogind) for shutdown, sleep and idle, in "block" mode. The manager
// hands out a file descriptor; the lock holds while it is open.

#include "core/SleepInhibitor.h"

class QDBusMessage;

namespace flashtool {

class LogindInhibitor final : public SleepInhibitor {
public:
    std::unique_ptr<Lock> Acquire(std::string_view who, std::string_view why) override;
};

// org.freedesktop.login1.Manager.Inhibit("shutdown:sleep:idle", who, why, "block").
QDBusMessage InhibitRequest(std::string_view who, std::string_view why);

}  // namespace flashtool
