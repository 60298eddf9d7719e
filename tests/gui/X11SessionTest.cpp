// The window under a real X server (run by xvfb-run, no window manager needed): the notice
// and the dialog are top-level windows with their exact captions, and the keyboard alone
// or the mouse alone drives them. Input comes from xdotool, as from a user; a driver
// thread sends it and checks the window's state on the user-interface thread while that
// thread runs the dialog modally.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include "app/controls/CTreeCtrlEx.h"
#include "app/qt/AboutBox.h"
#include "app/qt/FlashToolApplication.h"
#include "app/qt/UiThread.h"
#include "data/EmbeddedRegion.h"
#include "emulator/DemoDrives.h"
#include "emulator/EmulatedBackend.h"
#include "support/FakeInhibitor.h"

namespace flashtool::testing {
namespace {

constexpr const char* kDialogCaption = "Flash Program for ORIN DVD RW QV-5500A";

// A failed step leaves modal windows open on the user-interface thread; end the program
// with the reason instead of hanging.
[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

std::string Run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        Fail("cannot run " + command);
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    pclose(pipe);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) {
        output.pop_back();
    }
    return output;
}

void Xdotool(const std::string& arguments) {
    Run("xdotool " + arguments);
}

// Serves the test driver's calls on the user-interface thread; made there by main().
UiThreadCalls* uiCalls = nullptr;

template <typename Work>
auto OnUi(Work&& work) {
    return OnOwnerThread(*uiCalls, std::forward<Work>(work));
}

// Polls the window's state on the user-interface thread until the condition holds: the X
// server delivers input on its own time.
void WaitUntil(const std::function<bool()>& condition, const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!OnUi(condition)) {
        if (std::chrono::steady_clock::now() > deadline) {
            Fail("timed out waiting for " + what);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The visible window with exactly this caption; it must be a top-level window (a child
// of the root window when no window manager runs, a client window when one does).
std::string TopLevelWindow(const std::string& caption) {
    const std::string id = Run("timeout 20 xdotool search --sync --onlyvisible --name '^" +
                               caption + "$' | head -n 1");
    if (id.empty()) {
        Fail("no window captioned \"" + caption + "\"");
    }
    if (Run("xdotool getwindowname " + id) != caption) {
        Fail("caption of window " + id);
    }
    const std::string parent = Run("xwininfo -children -id " + id + " | grep 'Parent window id'");
    const bool underRoot = parent.find("(the root window)") != std::string::npos;
    const bool managed = !Run("xprop -id " + id + " WM_STATE 2>/dev/null | grep -i normal").empty();
    if (!underRoot && !managed) {
        Fail("\"" + caption + "\" is not a top-level window: " + parent);
    }
    return id;
}

void Click(const QPoint& global, int button = 1) {
    Xdotool("mousemove --sync " + std::to_string(global.x()) + " " + std::to_string(global.y()) +
            " click " + std::to_string(button));
}

QPoint CentreOf(const QWidget* widget) {
    return widget->mapToGlobal(widget->rect().center());
}

// The main dialog is modal itself; no About box above it.
bool AboutClosed() {
    return qobject_cast<AboutBox*>(QApplication::activeModalWidget()) == nullptr;
}

// Forwards to the dialog but only counts the Upgrade presses: these tests are about the
// input reaching the controls; the upgrade itself is driven in its own session test.
class CountingHandlers final : public DialogHandlers {
public:
    explicit CountingHandlers(FlashDialog& dialog) : dialog(dialog) {}
    bool OnInitDialog() override { return dialog.OnInitDialog(); }
    void OnSelectionChanged() override { dialog.OnSelectionChanged(); }
    void OnUpgrade() override { ++upgrades; }
    void OnProgressTimer() override { dialog.OnProgressTimer(); }
    bool OnCancel() override { return dialog.OnCancel(); }
    std::atomic<int> upgrades = 0;

private:
    FlashDialog& dialog;
};

struct XRig {
    XRig()
        : tool(std::make_unique<EmulatedBackend>(MakeDemoDrives(), diagnostics), restart, inhibitor,
               clock, diagnostics, EmbeddedStoredRegion()),
          handlers(tool.Dialog()) {
        tool.Window().SetHandlers(&handlers);
    }

    QtDialogWindow& Window() { return tool.Window(); }
    QWidget* Focused() {
        return OnUi([] { return QApplication::focusWidget(); });
    }
    std::string Log() { return Window().LogText(); }
    QTreeWidgetItem* Drive(int n) {
        return OnUi([&] { return Window().Tree()->topLevelItem(0)->child(n); });
    }
    bool Selected(int n) {
        return Drive(n)->isSelected() && tool.Dialog().SelectedIndex() == static_cast<uint32_t>(n);
    }

    CapturedDiagnostics diagnostics;
    FakeClock clock;
    class : public SystemRestart {
        bool RequestRestart() override { return false; }
    } restart;
    FakeInhibitor inhibitor;
    FlashToolApplication tool;
    CountingHandlers handlers;
};

TEST(X11Session, TheKeyboardAloneDrivesTheNoticeTheTreeAndTheButtons) {
    XRig rig;
    std::thread driver([&] {
        const std::string notice = TopLevelWindow("Warning");
        Xdotool("windowfocus --sync " + notice + " key Return");

        const std::string dialog = TopLevelWindow(kDialogCaption);
        Xdotool("windowfocus --sync " + dialog);
        WaitUntil([&] { return rig.Window().isActiveWindow(); }, "the dialog to be active");
        WaitUntil([&] { return !rig.tool.Dialog().Busy(); }, "the scan to end");
        if (rig.Focused() != rig.Window().Control(ControlId::Exit)) {
            Fail("the first control in tab order has no focus");
        }
        Xdotool("key Tab Down");
        WaitUntil([&] { return rig.Selected(0); }, "the target to be selected with Down");
        if (rig.Log() != "ORIN    DVD RW QV-5500A ") {
            Fail("selection display: " + rig.Log());
        }
        Xdotool("key Down");
        WaitUntil([&] { return rig.Selected(1); }, "the second drive to be selected");
        Xdotool("key Up");
        WaitUntil([&] { return rig.Selected(0); }, "the target to be selected with Up");

        Xdotool("key Tab");
        WaitUntil([&] { return rig.Focused() == rig.Window().Control(ControlId::Upgrade); },
                  "Tab to reach the Upgrade button");
        Xdotool("key space");
        WaitUntil([&] { return rig.handlers.upgrades == 1; }, "Space to press Upgrade");

        Xdotool("key F1");
        const std::string about = TopLevelWindow("About Halden Flash Tool");
        Xdotool("windowfocus --sync " + about);
        WaitUntil(
            [] {
                QWidget* modal = QApplication::activeModalWidget();
                return qobject_cast<AboutBox*>(modal) != nullptr && modal->isActiveWindow();
            },
            "the About box to be active");
        Xdotool("key Return");
        WaitUntil(AboutClosed, "About to close");

        Xdotool("windowfocus --sync " + dialog + " key shift+Tab shift+Tab");
        WaitUntil([&] { return rig.Focused() == rig.Window().Control(ControlId::Exit); },
                  "shift+Tab to reach Exit");
        Xdotool("key Return");
    });
    const int result = rig.Window().RunModal();
    driver.join();
    EXPECT_EQ(result, kDialogCancel);
    EXPECT_EQ(rig.handlers.upgrades, 1);
}

TEST(X11Session, TheMouseAloneDrivesTheNoticeTheTreeAndTheButtons) {
    XRig rig;
    std::thread driver([&] {
        TopLevelWindow("Warning");
        Click(OnUi([] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            return box != nullptr ? CentreOf(box->button(QMessageBox::Ok)) : QPoint();
        }));

        TopLevelWindow(kDialogCaption);
        WaitUntil([&] { return rig.Window().isVisible() && rig.Window().Tree()->isVisible(); },
                  "the dialog to show");
        WaitUntil([&] { return !rig.tool.Dialog().Busy(); }, "the scan to end");
        Click(OnUi([&] {
            CTreeCtrlEx* tree = rig.Window().Tree();
            const QRect rect = tree->visualItemRect(tree->topLevelItem(0)->child(2));
            return tree->viewport()->mapToGlobal(rect.center());
        }));
        WaitUntil([&] { return rig.Selected(2); }, "a click to select the third drive");
        if (rig.Log() != "KESTREL DVD-ROM KD-1650 ") {
            Fail("selection display: " + rig.Log());
        }

        Click(OnUi([&] { return CentreOf(rig.Window().Control(ControlId::Upgrade)); }));
        WaitUntil([&] { return rig.handlers.upgrades == 1; }, "a click on Upgrade");

        // The About entry: the dialog's context menu.
        Click(OnUi([&] { return rig.Window().mapToGlobal(QPoint(4, 4)); }), 3);
        WaitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; },
                  "the context menu");
        Click(OnUi([] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu->mapToGlobal(menu->actionGeometry(menu->actions().at(0)).center());
        }));
        TopLevelWindow("About Halden Flash Tool");
        WaitUntil(
            [] { return qobject_cast<AboutBox*>(QApplication::activeModalWidget()) != nullptr; },
            "the About box");
        Click(OnUi([] {
            return CentreOf(
                QApplication::activeModalWidget()->findChild<QAbstractButton*>("control1"));
        }));
        WaitUntil(AboutClosed, "About to close");

        Click(OnUi([&] { return CentreOf(rig.Window().Control(ControlId::Exit)); }));
    });
    const int result = rig.Window().RunModal();
    driver.join();
    EXPECT_EQ(result, kDialogCancel);
    EXPECT_EQ(rig.handlers.upgrades, 1);
}

}  // namespace
}  // namespace flashtool::testing

int main(int argc, char* argv[]) {
    // The real X display, whatever the environment asked for.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    flashtool::UiThreadCalls calls;
    flashtool::testing::uiCalls = &calls;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
