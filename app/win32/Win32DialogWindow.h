#pragma once

// The main dialog as a native Win32 window: a modal dialog built in memory from the dialog
// template (DialogBoxIndirectParamW), implementing the window seam. Made on a thread that
// has started COM (for the accessibility layer). Calls from another
// thread reach the window's thread by SendMessage and are waited for (WindowThreadCall.h).
//
// The About entry sits in the window's system menu; greying Close greys the system menu's
// Close item, and with it the title bar's close button and Alt+F4.

#include <windows.h>

#include <map>
#include <string>

#include "app/DialogWindow.h"
#include "app/win32/Win32Accessibility.h"
#include "app/win32/Win32TreeView.h"

namespace flashtool::win32 {

class Win32DialogWindow final : public DialogWindow {
public:
    // `applicationTitle` captions the boxes that have none of their own; `icon` is the
    // program's, shown in the title bar and the About box.
    Win32DialogWindow(std::u16string applicationTitle, HICON icon);

    void SetHandlers(DialogHandlers* handlers) { this->handlers = handlers; }

    // Runs the dialog modally; the start-up sequence runs before it is first shown.
    // Returns the dialog's result.
    int RunModal();

    // DialogWindow.
    void RunOnWindowThread(const std::function<void()>& work) override;
    void ShowTexts(const DialogTexts& texts) override;
    std::string LogText() const override;
    void SetLogText(std::string_view text) override;
    void ScrollLogToEnd() override;
    void EnableButton(DialogButton button, bool enabled) override;
    bool IsButtonEnabled(DialogButton button) const override;
    void ShowDrives(std::string_view computer, std::span<const DriveItem> drives) override;
    TreeSelection Selection() const override;
    void SetDriveText(size_t position, std::string_view text) override;
    void SetProgress(int position) override;
    void StepProgress() override;
    int Progress() const override;
    void StartProgressTimer() override;
    void StopProgressTimer() override;
    BoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
    void ShowBusy(bool busy) override;
    void EnableCloseCommand(bool enabled) override;
    void EndDialog(int result) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnDestroy();
    void ForgetTreeDescriptions();
    void OnCommand(WORD id, WORD code);
    bool OnSystemCommand(WPARAM command);
    INT_PTR OnNotify(NMHDR& header);
    INT_PTR Answer(LRESULT result);
    HWND Control(ControlId id) const;
    // The drive at that position under the computer, or none.
    TreeItem DriveItemAt(size_t position) const;
    void CreateBusyBar();
    void EnterBusy();
    void LeaveBusy();

    template <typename Work>
    auto OnThread(Work&& work) const;

    std::u16string applicationTitle;
    HICON icon = nullptr;
    HWND dialog = nullptr;
    DWORD windowThread = 0;
    Win32TreeView tree;
    Win32Accessibility accessibility;
    std::string logText;  // exactly as set, CR LF line breaks included
    DialogHandlers* handlers = nullptr;
    bool closeCommandEnabled = true;
    // While busy: a marquee bar in the progress bar's place, the controls greyed for it with
    // the state the dialog gave each, and the control that gets the focus back.
    HWND busyBar = nullptr;
    bool busy = false;
    std::map<ControlId, bool> enabledAfterBusy;
    HWND focusAfterBusy = nullptr;
};

}  // namespace flashtool::win32
