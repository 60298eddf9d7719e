#pragma once

// The whole Qt window and dialog over virtual drives, with message boxes answered by a
// script on the user-interface thread.

#include <QTest>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "app/controls/CTreeCtrlEx.h"
#include "app/qt/FlashToolApplication.h"
#include "core/Clock.h"
#include "core/Diagnostics.h"
#include "data/EmbeddedRegion.h"
#include "emulator/DemoDrives.h"
#include "emulator/EmulatedBackend.h"
#include "support/FakeInhibitor.h"

namespace flashtool::testing {

class RefusingRestart final : public SystemRestart {
public:
    int requests = 0;
    bool RequestRestart() override {
        ++requests;
        return false;
    }
};

struct GuiRig {
    explicit GuiRig(std::vector<std::shared_ptr<VirtualDrive>> drives = MakeDemoDrives())
        : tool(std::make_unique<EmulatedBackend>(std::move(drives), diagnostics), restart,
               inhibitor, clock, diagnostics, EmbeddedStoredRegion()) {
        tool.Window().SetMessageBoxProvider([this](const MessageBoxRequest& request) {
            boxes.push_back(request);
            boxThreads.push_back(std::this_thread::get_id());
            if (answers.empty()) {
                return BoxAnswer::Ok;
            }
            const BoxAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }

    // The start-up sequence, then the window shown (not modally, so the test keeps control),
    // with the scan ended and the tree it filled laid out.
    bool StartShown() {
        const bool started = tool.Dialog().OnInitDialog();
        tool.Window().show();
        const bool shown = started && QTest::qWaitForWindowExposed(&tool.Window()) &&
                           QTest::qWaitFor([this] { return !tool.Dialog().Busy(); }, 20000);
        QCoreApplication::processEvents();
        return shown;
    }

    // Selects the n-th drive of the tree, with the keyboard focus in the tree.
    void SelectDrive(int n) {
        CTreeCtrlEx* tree = tool.Window().Tree();
        tree->setFocus();
        tree->setCurrentItem(tree->topLevelItem(0)->child(n));
    }

    QtDialogWindow& Window() { return tool.Window(); }
    FlashDialog& Dialog() { return tool.Dialog(); }

    CapturedDiagnostics diagnostics;
    FakeClock clock;
    RefusingRestart restart;
    std::vector<MessageBoxRequest> boxes;
    std::vector<std::thread::id> boxThreads;
    std::deque<BoxAnswer> answers;
    FakeInhibitor inhibitor;
    FlashToolApplication tool;
};

}  // namespace flashtool::testing
