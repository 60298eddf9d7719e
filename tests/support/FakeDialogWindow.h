#pragma once

// A recording window for the dialog's tests: it keeps what the window shows, records each
// message box with the log as it stood when the box appeared, and answers boxes from a
// script (OK when the script is empty).

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/DialogWindow.h"

namespace flashtool::testing {

struct ShownBox {
    MessageBoxRequest request;
    std::string logWhenShown;
};

class FakeDialogWindow final : public DialogWindow {
public:
    DialogTexts texts = TemplateTexts();
    std::string log;
    std::map<DialogButton, bool> enabled{{DialogButton::Upgrade, true},
                                         {DialogButton::Exit, true}};
    // The tree: the computer's text (empty until the drives are shown) and the drives.
    std::string computer;
    std::vector<DriveItem> drives;
    TreeSelection selection;
    int progress = 0;
    bool timerRunning = false;
    int timerStarts = 0;
    std::vector<ShownBox> boxes;
    std::deque<BoxAnswer> answers;
    // Called as each box appears (on the thread that asked for it).
    std::function<void(const MessageBoxRequest&)> onBox;
    bool closeEnabled = true;
    // The busy phases (scan, checks): whether one is shown now, and how many began.
    bool busy = false;
    int busyPhases = 0;
    std::optional<int> endResult;
    int scrolls = 0;

    const std::string& Log() const { return log; }
    void SelectDrive(size_t position) { selection = TreeSelection::Drive(position); }

    void RunOnWindowThread(const std::function<void()>& work) override { work(); }
    void ShowTexts(const DialogTexts& shown) override { texts = shown; }
    std::string LogText() const override { return log; }
    void SetLogText(std::string_view text) override { log = text; }
    void ScrollLogToEnd() override { ++scrolls; }
    void EnableButton(DialogButton button, bool on) override { enabled[button] = on; }
    bool IsButtonEnabled(DialogButton button) const override { return enabled.at(button); }

    void ShowDrives(std::string_view computerText, std::span<const DriveItem> shown) override {
        computer = computerText;
        drives.assign(shown.begin(), shown.end());
        selection = {};
    }
    TreeSelection Selection() const override { return selection; }
    void SetDriveText(size_t position, std::string_view text) override {
        drives.at(position).text = text;
    }

    void SetProgress(int position) override { progress = position; }
    void StepProgress() override { progress = SteppedProgress(progress); }
    int Progress() const override { return progress; }
    void StartProgressTimer() override {
        timerRunning = true;
        ++timerStarts;
    }
    void StopProgressTimer() override { timerRunning = false; }

    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
        boxes.push_back(ShownBox{request, Log()});
        if (onBox) {
            onBox(request);
        }
        if (answers.empty()) {
            return BoxAnswer::Ok;
        }
        const BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowBusy(bool on) override {
        busy = on;
        busyPhases += on ? 1 : 0;
    }
    void EnableCloseCommand(bool on) override { closeEnabled = on; }
    void EndDialog(int result) override { endResult = result; }
};

}  // namespace flashtool::testing
