// The Qt window's own behaviour: message boxes, calls from a worker thread, refusing to
// close, the About box, the timer and the restart request.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <functional>
#include <map>
#include <string>

#include "GuiRig.h"
#include "app/qt/AboutBox.h"
#include "app/qt/FlashToolApplication.h"
#include "app/qt/LogindInhibitor.h"
#include "app/qt/LogindRestart.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/QtText.h"

namespace flashtool::testing {
namespace {

// Runs `act` on the first modal window of type T, once one is open (checked on each pass
// of the event loop, so no real time is waited for).
template <typename T>
void WhenModal(std::function<void(T*)> act) {
    QTimer::singleShot(0, [act] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(widget);
        } else {
            WhenModal<T>(act);
        }
    });
}

struct BoxCase {
    MessageBoxRequest request;
    QString title;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape;
};

TEST(MessageBoxes, CarryTheExactTextCaptionButtonsAndIcon) {
    const BoxCase cases[] = {
        {{"User cancelled.", std::nullopt, BoxButtons::Ok, BoxIcon::None},
         "flashtool",
         QMessageBox::NoIcon,
         QMessageBox::Ok,
         QMessageBox::Ok},
        {{"Do you really want to upgrade ?", std::nullopt, BoxButtons::OkCancel,
          BoxIcon::Exclamation},
         "flashtool",
         QMessageBox::Warning,
         QMessageBox::Ok | QMessageBox::Cancel,
         QMessageBox::Cancel},
        {{"\n Firmware has been updated successfully !   \n", "Information", BoxButtons::Ok,
          BoxIcon::Information},
         "Information",
         QMessageBox::Information,
         QMessageBox::Ok,
         QMessageBox::Ok},
        {{"Reboot Fail!!", std::nullopt, BoxButtons::Ok, BoxIcon::Stop},
         "flashtool",
         QMessageBox::Critical,
         QMessageBox::Ok,
         QMessageBox::Ok},
        // Markup is shown as it stands.
        {{"<b>1> Please</b>", "Warning", BoxButtons::Ok, BoxIcon::Exclamation},
         "Warning",
         QMessageBox::Warning,
         QMessageBox::Ok,
         QMessageBox::Ok},
    };
    for (const BoxCase& c : cases) {
        const auto box = MakeMessageBox(c.request, "flashtool", nullptr);
        EXPECT_EQ(box->windowTitle(), c.title);
        EXPECT_EQ(box->text(), QString::fromStdString(c.request.text));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), c.icon);
        EXPECT_EQ(box->standardButtons(), c.buttons);
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
                  box->button(QMessageBox::Ok));
        EXPECT_EQ(box->escapeButton(), box->button(c.escape));
    }
}

TEST(MessageBoxes, TheRealBoxReturnsTheButtonPressed) {
    const MessageBoxRequest question{"Do you really want to upgrade ?", std::nullopt,
                                     BoxButtons::OkCancel, BoxIcon::Exclamation};
    for (const auto& [button, answer] : {std::pair{QMessageBox::Cancel, BoxAnswer::Cancel},
                                         std::pair{QMessageBox::Ok, BoxAnswer::Ok}}) {
        WhenModal<QMessageBox>([button](QMessageBox* box) { box->button(button)->click(); });
        EXPECT_EQ(RunMessageBox(question, "flashtool", nullptr), answer);
    }
}

TEST(WorkerCalls, AreCarriedToTheWindowThreadAndWaitedFor) {
    GuiRig rig;
    ASSERT_TRUE(rig.StartShown());
    const std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<bool> done = false;
    std::string logSeenByWorker;
    BoxAnswer answer = BoxAnswer::Cancel;
    std::thread worker([&] {
        rig.Dialog().AppendLog("line from the worker");
        // The call returned only after the window had the line.
        logSeenByWorker = rig.Window().LogText();
        answer = rig.Dialog().ShowMessageBox({"Do you really want to upgrade ?", std::nullopt,
                                              BoxButtons::OkCancel, BoxIcon::Exclamation});
        rig.Dialog().ReportResult(ResultCode::ChecksumMismatch);
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
    worker.join();

    EXPECT_EQ(logSeenByWorker, "\r\nline from the worker");
    EXPECT_EQ(answer, BoxAnswer::Ok);
    ASSERT_EQ(rig.boxThreads.size(), 3u);  // notice, question, the report's box
    for (const std::thread::id& thread : rig.boxThreads) {
        EXPECT_EQ(thread, uiThread);
    }
    EXPECT_EQ(rig.boxes.back().text, "CheckSum not match !!");
    EXPECT_EQ(rig.Window().LogText(),
              "\r\nline from the worker\r\nCheck Sum not match !!");
}

TEST(Closing, IsRefusedWhileARunIsInProgressOrCloseIsGreyed) {
    GuiRig rig;
    ASSERT_TRUE(rig.StartShown());
    QtDialogWindow& window = rig.Window();

    ASSERT_TRUE(rig.Dialog().BeginRun());
    rig.Dialog().EnableButtons(false);
    EXPECT_FALSE(window.close());  // the title bar's close
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    rig.Dialog().EndRun();

    rig.Dialog().SetCloseEnabled(false);
    EXPECT_FALSE(window.IsCloseCommandEnabled());
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());

    rig.Dialog().SetCloseEnabled(true);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), kDialogCancel);
}

TEST(AboutBox, IsReachedFromTheDialogsContextMenu) {
    GuiRig rig;
    ASSERT_TRUE(rig.StartShown());
    QString caption, version, notice;
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text(), "About flash(&A)...");
        QTest::keyClick(menu, Qt::Key_A);  // the entry's access key
    });
    WhenModal<AboutBox>([&](AboutBox* about) {
        caption = about->windowTitle();
        version = about->findChild<QLabel*>("aboutVersion")->text();
        notice = about->findChild<QLabel*>("aboutNotice")->text();
        about->findChild<QAbstractButton*>("control1")->click();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            rig.Window().mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&rig.Window(), &event);
    EXPECT_EQ(caption, "About Halden Flash Tool");
    EXPECT_EQ(version, "Halden Flash Ver. A-7.6");
    EXPECT_EQ(notice, "Firmware upgrade tool for optical drives.");
}

TEST(WindowControls, TimerProgressAndTextsBehaveAsTheDialogExpects) {
    GuiRig rig;
    QtDialogWindow& window = rig.Window();
    window.StopProgressTimer();  // never started: harmless
    window.StartProgressTimer();
    ASSERT_NE(window.ActiveProgressTimer(), nullptr);
    EXPECT_EQ(window.ActiveProgressTimer()->interval(), 700);
    window.StopProgressTimer();
    EXPECT_EQ(window.ActiveProgressTimer(), nullptr);

    window.SetProgress(100);
    window.StepProgress();
    EXPECT_EQ(window.Progress(), 0);

    // Bytes outside ASCII are shown as the bytes they are, and the log gives them back.
    const std::string text = "KESTREL \xE9\xFF DVD";
    const std::vector<DriveItem> drives{{"first", false}};
    window.ShowDrives("My Computer", drives);
    window.SetDriveText(0, text);
    EXPECT_EQ(ToBytes(window.Tree()->topLevelItem(0)->child(0)->text(0)), text);
    window.SetLogText(text + "\r\nx");
    EXPECT_EQ(window.LogText(), text + "\r\nx");
}

TEST(LogindRestart, AsksTheLoginManagerToRebootInteractively) {
    const QDBusMessage request = RebootRequest();
    EXPECT_EQ(request.type(), QDBusMessage::MethodCallMessage);
    EXPECT_EQ(request.service(), "org.freedesktop.login1");
    EXPECT_EQ(request.path(), "/org/freedesktop/login1");
    EXPECT_EQ(request.interface(), "org.freedesktop.login1.Manager");
    EXPECT_EQ(request.member(), "Reboot");
    EXPECT_EQ(request.arguments(), QVariantList{true});
    EXPECT_TRUE(request.isInteractiveAuthorizationAllowed());
}

TEST(LogindInhibitor, AsksForABlockingLockOnShutdownSleepAndIdle) {
    const QDBusMessage request = InhibitRequest("who", "why");
    EXPECT_EQ(request.service(), "org.freedesktop.login1");
    EXPECT_EQ(request.path(), "/org/freedesktop/login1");
    EXPECT_EQ(request.interface(), "org.freedesktop.login1.Manager");
    EXPECT_EQ(request.member(), "Inhibit");
    EXPECT_EQ(request.arguments(), (QVariantList{QStringLiteral("shutdown:sleep:idle"),
                                                 QStringLiteral("who"), QStringLiteral("why"),
                                                 QStringLiteral("block")}));
}

// Any one of the display variables (or a platform named outright) lets the toolkit try;
// only none at all, empty ones counting as none, is said in our words.
TEST(MissingDisplay, OnlyNoDisplayAtAllIsRefusedInOneLine) {
    struct Case {
        std::map<std::string, std::string> environment;
        bool refused;
    };
    const Case cases[] = {
        {{}, true},
        {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, true},
        {{{"DISPLAY", ":0"}}, false},
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, false},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, false},
    };
    for (const Case& c : cases) {
        const auto missing = MissingDisplay("flashtool", [&c](const char* name) -> const char* {
            const auto found = c.environment.find(name);
            return found == c.environment.end() ? nullptr : found->second.c_str();
        });
        EXPECT_EQ(missing.has_value(), c.refused) << c.environment.size();
        if (missing) {
            EXPECT_TRUE(missing->starts_with("flashtool: the window needs a desktop"));
            EXPECT_EQ(missing->find('\n'), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace flashtool::testing
