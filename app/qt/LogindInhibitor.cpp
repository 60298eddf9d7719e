#include "app/qt/LogindInhibitor.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include "app/qt/QtText.h"

namespace flashtool {

namespace {

constexpr int kReplyTimeoutMs = 10 * 1000;

class DescriptorLock final : public SleepInhibitor::Lock {
public:
    explicit DescriptorLock(int fd) : fd(fd) {}
    ~DescriptorLock() override { ::close(fd); }

private:
    int fd;
};

}  // namespace

QDBusMessage InhibitRequest(std::string_view who, std::string_view why) {
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    request << QStringLiteral("shutdown:sleep:idle") << ToQString(who) << ToQString(why)
            << QStringLiteral("block");
    return request;
}

std::unique_ptr<SleepInhibitor::Lock> LogindInhibitor::Acquire(std::string_view who,
                                                               std::string_view why) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return nullptr;
    }
    const QDBusMessage reply = bus.call(InhibitRequest(who, why), QDBus::Block, kReplyTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return nullptr;
    }
    const auto descriptor = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
    if (!descriptor.isValid()) {
        return nullptr;
    }
    // The reply's descriptor closes with the reply; the lock keeps its own copy.
    const int fd = ::dup(descriptor.fileDescriptor());
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<DescriptorLock>(fd);
}

}  // namespace flashtool
