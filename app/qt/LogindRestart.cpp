#include "app/qt/LogindRestart.h"

#include <QDBusConnection>

namespace flashtool {

QDBusMessage RebootRequest() {
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Reboot"));
    request << true;
    request.setInteractiveAuthorizationAllowed(true);
    return request;
}

bool LogindRestart::RequestRestart() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return false;
    }
    const QDBusMessage reply = bus.call(RebootRequest(), QDBus::Block, kReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace flashtool
