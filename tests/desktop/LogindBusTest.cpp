// The restart request and the keep-awake lock over a real D-Bus, against python3-dbusmock's
// logind template on a private bus (with-logind-mock.sh starts both and points
// DBUS_SYSTEM_BUS_ADDRESS at it). The fakes of our own seam cannot show what the bus
// does: signatures it checks, header flags, and a descriptor passed across processes.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QThread>
#include <chrono>
#include <string>
#include <vector>

#include "app/qt/LogindInhibitor.h"
#include "app/qt/LogindRestart.h"

namespace flashtool {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");

// A call as it reached the login manager.
struct Received {
    std::string member;
    std::string signature;
    bool interactive = false;
    bool operator==(const Received&) const = default;
};

struct Inhibitor {
    std::string what, who, why, mode;
    bool operator==(const Inhibitor&) const = default;
};

// The mock's side of the bus: what it received, what it holds, and how it answers.
class LoginManagerMock {
public:
    LoginManagerMock() {
        Call(kMock, "Reset");
        // Hands out and clears what logind-mock.py recorded of each call.
        Call(kMock, "AddMethod",
             {QStringLiteral("org.flashtool.Test"), QStringLiteral("TakeReceived"), QString(),
              QStringLiteral("a(ssb)"),
              QStringLiteral("ret = dbus.Array(list(received), signature='(ssb)'); "
                             "received.clear()")});
        TakeReceived();
    }
    ~LoginManagerMock() { Call(kMock, "Reset"); }

    // From now on `method` answers with an error, as a login manager that refuses does.
    void Refuse(const QString& method, const QString& inSignature, const QString& outSignature) {
        Call(kMock, "AddMethod",
             {kManager, method, inSignature, outSignature,
              QStringLiteral("raise dbus.exceptions.DBusException('Refused by the test', "
                             "name='org.freedesktop.DBus.Error.AccessDenied')")});
    }

    std::vector<Received> TakeReceived() {
        const QDBusMessage reply = Call(QStringLiteral("org.flashtool.Test"), "TakeReceived");
        std::vector<Received> calls;
        const QDBusArgument array = qvariant_cast<QDBusArgument>(reply.arguments().value(0));
        array.beginArray();
        while (!array.atEnd()) {
            QString member, signature;
            bool interactive = false;
            array.beginStructure();
            array >> member >> signature >> interactive;
            array.endStructure();
            calls.push_back({member.toStdString(), signature.toStdString(), interactive});
        }
        array.endArray();
        return calls;
    }

    std::vector<Inhibitor> Inhibitors() {
        const QDBusMessage reply = Call(kManager, "ListInhibitors");
        std::vector<Inhibitor> held;
        const QDBusArgument array = qvariant_cast<QDBusArgument>(reply.arguments().value(0));
        array.beginArray();
        while (!array.atEnd()) {
            QString what, who, why, mode;
            uint uid = 0, pid = 0;
            array.beginStructure();
            array >> what >> who >> why >> mode >> uid >> pid;
            array.endStructure();
            held.push_back(
                {what.toStdString(), who.toStdString(), why.toStdString(), mode.toStdString()});
        }
        array.endArray();
        return held;
    }

    // The mock drops a lock when it sees the descriptor's other end close; that is an event
    // of its own loop, so the test asks again for a moment rather than assume an order.
    bool InhibitorsDropTo(size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (Inhibitors().size() != count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            QThread::msleep(5);
        }
        return true;
    }

private:
    static QDBusMessage Call(const QString& interface, const char* member,
                             const QVariantList& arguments = {}) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, kPath, interface, QString::fromLatin1(member));
        call.setArguments(arguments);
        const QDBusMessage reply = QDBusConnection::systemBus().call(call);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << member << ": " << reply.errorMessage().toStdString();
        return reply;
    }
};

TEST(LogindBus, RestartAsksForRebootWithInteractiveAuthorisation) {
    LoginManagerMock mock;
    LogindRestart restart;
    EXPECT_TRUE(restart.RequestRestart());
    EXPECT_EQ(mock.TakeReceived(), (std::vector<Received>{{"Reboot", "b", true}}));
}

TEST(LogindBus, ARefusedRebootIsAFailedRestart) {
    LoginManagerMock mock;
    mock.Refuse(QStringLiteral("Reboot"), QStringLiteral("b"), QString());
    LogindRestart restart;
    EXPECT_FALSE(restart.RequestRestart());
    EXPECT_EQ(mock.TakeReceived(), (std::vector<Received>{{"Reboot", "b", true}}));
}

TEST(LogindBus, TheLockIsHeldUntilReleasedAndDroppedAtRelease) {
    LoginManagerMock mock;
    LogindInhibitor inhibitor;
    auto lock = inhibitor.Acquire("Optical drive firmware update", "a drive is written");
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(mock.TakeReceived(), (std::vector<Received>{{"Inhibit", "ssss", false}}));

    // The reply that carried the descriptor is gone by now; the lock's own copy holds it.
    EXPECT_EQ(mock.Inhibitors(),
              (std::vector<Inhibitor>{{"shutdown:sleep:idle", "Optical drive firmware update",
                                       "a drive is written", "block"}}));
    lock.reset();
    EXPECT_TRUE(mock.InhibitorsDropTo(0));
}

TEST(LogindBus, EachLockIsReleasedOnItsOwn) {
    LoginManagerMock mock;
    LogindInhibitor inhibitor;
    auto first = inhibitor.Acquire("first", "why");
    auto second = inhibitor.Acquire("second", "why");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    first.reset();
    ASSERT_TRUE(mock.InhibitorsDropTo(1));
    EXPECT_EQ(mock.Inhibitors().front().who, "second");
    second.reset();
    EXPECT_TRUE(mock.InhibitorsDropTo(0));
}

TEST(LogindBus, ARefusedInhibitIsNoLock) {
    LoginManagerMock mock;
    mock.Refuse(QStringLiteral("Inhibit"), QStringLiteral("ssss"), QStringLiteral("h"));
    LogindInhibitor inhibitor;
    EXPECT_EQ(inhibitor.Acquire("who", "why"), nullptr);
    EXPECT_EQ(mock.TakeReceived(), (std::vector<Received>{{"Inhibit", "ssss", false}}));
    EXPECT_TRUE(mock.Inhibitors().empty());
}

}  // namespace
}  // namespace flashtool

int main(int argc, char** argv) {
    // The connection to the bus wants an application object, as in the program.
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
