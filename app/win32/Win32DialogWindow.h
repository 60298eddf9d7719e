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
    std::string ControlText(ControlId id) const override;
    void SetControlText(ControlId id, std::string_view text) override;
    void EnableControl(ControlId id, bool enabled) override;
    bool IsControlEnabled(ControlId id) const override;
    void SetCaption(std::string_view caption) override;
    std::string Caption() const override;
    void ScrollLogToEnd() override;
    void ClearTree() override;
    TreeItem InsertTreeItem(TreeItem parent, std::string_view text, TreeImage image) override;
    void SetTreeItemColor(TreeItem item, ColorRef color) override;
    void ExpandTreeItem(TreeItem item) override;
    TreeItem RootTreeItem() const override;
    TreeItem SelectedTreeItem() const override;
    TreeItem FirstChild(TreeItem item) const override;
    TreeItem NextSibling(TreeItem item) const override;
    std::string TreeItemText(TreeItem item) const override;
    void SetTreeItemText(TreeItem item, std::string_view text) override;
    size_t TreeItemCount() const override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPos(int position) override;
    void SetProgressStep(int step) override;
    void StepProgress() override;
    int ProgressPos() const override;
    void StartTimer(int id, uint32_t periodMs) override;
    void StopTimer(int id) override;
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
    int progressMinimum = 0;
    int progressMaximum = 100;
    int progressStep = 10;
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
