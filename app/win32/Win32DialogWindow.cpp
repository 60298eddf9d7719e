#include "app/win32/Win32DialogWindow.h"

#include <vector>

#include "app/AccessibleTexts.h"
#include "app/win32/DialogPlans.h"
#include "app/win32/WideText.h"
#include "app/win32/Win32AboutBox.h"
#include "app/win32/Win32MessageBox.h"
#include "app/win32/WindowStyles.h"
#include "app/win32/WindowThreadCall.h"

namespace flashtool::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));
static_assert(kWsPopup == WS_POPUP && kWsChild == WS_CHILD && kWsVisible == WS_VISIBLE);
static_assert(kWsCaption == WS_CAPTION && kWsBorder == WS_BORDER && kWsVScroll == WS_VSCROLL);
static_assert(kWsSysMenu == WS_SYSMENU && kWsGroup == WS_GROUP && kWsTabStop == WS_TABSTOP);
static_assert(kWsMinimizeBox == WS_MINIMIZEBOX && kWsExClientEdge == WS_EX_CLIENTEDGE);
static_assert(kDsModalFrame == DS_MODALFRAME && kDsSetFont == DS_SETFONT && kDsCenter == DS_CENTER);
static_assert(kBsPushButton == BS_PUSHBUTTON && kBsDefPushButton == BS_DEFPUSHBUTTON);
static_assert(kSsLeft == SS_LEFT && kSsIcon == SS_ICON && kSsNoPrefix == SS_NOPREFIX);
static_assert(kEsMultiline == ES_MULTILINE && kEsAutoVScroll == ES_AUTOVSCROLL &&
              kEsReadOnly == ES_READONLY);
static_assert(kTvsHasButtons == TVS_HASBUTTONS && kTvsHasLines == TVS_HASLINES &&
              kTvsLinesAtRoot == TVS_LINESATROOT && kTvsDisableDragDrop == TVS_DISABLEDRAGDROP &&
              kTvsShowSelAlways == TVS_SHOWSELALWAYS && kTvsTrackSelect == TVS_TRACKSELECT);
static_assert(kIdOk == IDOK && static_cast<int>(ControlId::Exit) == IDCANCEL);
static_assert(kDialogCancel == IDCANCEL);
static_assert(kAboutCommand < 0xF000);  // below the system's own commands

namespace {

void SetWindowBytes(HWND window, std::string_view text) {
    const std::u16string wide = WidenBytes(text);
    SetWindowTextW(window, reinterpret_cast<LPCWSTR>(wide.c_str()));
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(std::u16string title, HICON icon)
    : applicationTitle(std::move(title)), icon(icon) {}

template <typename Work>
auto Win32DialogWindow::OnThread(Work&& work) const {
    return OnWindowThread(dialog, windowThread, std::forward<Work>(work));
}

int Win32DialogWindow::RunModal() {
    windowThread = GetCurrentThreadId();
    const std::vector<uint16_t> bytes = BuildDialogTemplate(MainDialogPlan());
    const INT_PTR result = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
        DialogProc, reinterpret_cast<LPARAM>(this));
    dialog = nullptr;
    return static_cast<int>(result);
}

INT_PTR CALLBACK Win32DialogWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32DialogWindow*>(lParam);
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        self->dialog = dialog;
        self->OnInitDialog();
        // The system gives the focus to the first control in tab order that takes it.
        return TRUE;
    }
    auto* self = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    return self != nullptr ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

void Win32DialogWindow::OnInitDialog() {
    tree.Attach(Control(ControlId::DriveTree));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    SendMessageW(Control(ControlId::Progress), PBM_SETRANGE32, 0, kProgressEnd);
    accessibility.SetName(Control(ControlId::Log), kLogAccessibleName);
    accessibility.SetName(Control(ControlId::Progress), kProgressAccessibleName);
    CreateBusyBar();
    if (HMENU menu = GetSystemMenu(dialog, FALSE); menu != nullptr) {
        const std::u16string about = WidenBytes(kStringAbout);
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand, reinterpret_cast<LPCWSTR>(about.c_str()));
    }
    // The start-up sequence, while the dialog is still hidden: its notice comes first, and
    // a sequence that ends the dialog leaves nothing shown.
    if (handlers != nullptr) {
        handlers->OnInitDialog();
    }
}

void Win32DialogWindow::OnDestroy() {
    ForgetTreeDescriptions();
    accessibility.Clear(Control(ControlId::Log));
    accessibility.Clear(Control(ControlId::Progress));
    accessibility.Clear(busyBar);
    busyBar = nullptr;
    busy = false;
}

void Win32DialogWindow::ForgetTreeDescriptions() {
    for (const auto& [item, style] : tree.Styles()) {
        accessibility.SetTreeItemDescription(tree.Handle(), reinterpret_cast<HTREEITEM>(item), {});
    }
}

INT_PTR Win32DialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        case kRunOnWindowThreadMessage:
            RunSentCall(lParam);
            return TRUE;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
        case WM_SYSCOMMAND:
            return OnSystemCommand(wParam) ? Answer(0) : FALSE;
        case WM_SETCURSOR:
            // Over the dialog and its controls while the worker scans or checks.
            if (busy) {
                SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
                return Answer(TRUE);
            }
            return FALSE;
        case WM_TIMER:
            if (wParam == static_cast<WPARAM>(kProgressTimerId) && handlers != nullptr) {
                handlers->OnProgressTimer();
            }
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR Win32DialogWindow::Answer(LRESULT result) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

void Win32DialogWindow::OnCommand(WORD id, WORD code) {
    // IDCANCEL is the Exit button's id: its click, Escape and the title bar's close all
    // arrive here, and the dialog decides.
    if (id == static_cast<WORD>(ControlId::Exit)) {
        if (handlers != nullptr) {
            handlers->OnCancel();
        } else {
            ::EndDialog(dialog, kDialogCancel);
        }
    } else if (id == static_cast<WORD>(ControlId::Upgrade) && code == BN_CLICKED) {
        if (handlers != nullptr) {
            handlers->OnUpgrade();
        }
    }
    // Enter outside a button asks for IDOK; the dialog has no such command.
}

bool Win32DialogWindow::OnSystemCommand(WPARAM command) {
    if (IsAboutCommand(static_cast<uint32_t>(command))) {
        ShowAboutBox(dialog, icon);
        return true;
    }
    // Alt+F4 reaches here even while the menu item is greyed.
    return (command & 0xFFF0) == SC_CLOSE && !closeCommandEnabled;
}

INT_PTR Win32DialogWindow::OnNotify(NMHDR& header) {
    if (header.hwndFrom != tree.Handle()) {
        return FALSE;
    }
    if (header.code == NM_CUSTOMDRAW) {
        return Answer(tree.OnCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW&>(header)));
    }
    if (header.code == TVN_SELCHANGEDW && handlers != nullptr) {
        handlers->OnSelectionChanged();
    }
    return FALSE;
}

HWND Win32DialogWindow::Control(ControlId id) const {
    return GetDlgItem(dialog, static_cast<int>(id));
}

void Win32DialogWindow::RunOnWindowThread(const std::function<void()>& work) {
    OnThread(work);
}

void Win32DialogWindow::ShowTexts(const DialogTexts& texts) {
    OnThread([&] {
        SetWindowBytes(dialog, texts.caption);
        SetWindowBytes(Control(ControlId::DevicesLabel), texts.devicesLabel);
        SetWindowBytes(Control(ControlId::Exit), texts.exitButton);
        SetWindowBytes(Control(ControlId::Upgrade), texts.upgradeButton);
    });
}

std::string Win32DialogWindow::LogText() const {
    return OnThread([&] { return logText; });
}

void Win32DialogWindow::SetLogText(std::string_view text) {
    OnThread([&] {
        logText.assign(text);
        SetWindowBytes(Control(ControlId::Log), text);
    });
}

void Win32DialogWindow::EnableButton(DialogButton button, bool enabled) {
    OnThread([&] {
        const ControlId id = ControlOf(button);
        if (busy && enabledAfterBusy.contains(id)) {
            enabledAfterBusy[id] = enabled;
            return;
        }
        HWND control = Control(id);
        // A control greyed while it has the focus would take the keyboard with it; the
        // focus moves on to the next control first.
        if (!enabled && GetFocus() == control) {
            SendMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
        }
        EnableWindow(control, enabled ? TRUE : FALSE);
    });
}

bool Win32DialogWindow::IsButtonEnabled(DialogButton button) const {
    return OnThread([&] {
        const ControlId id = ControlOf(button);
        if (busy && enabledAfterBusy.contains(id)) {
            return enabledAfterBusy.at(id);
        }
        return IsWindowEnabled(Control(id)) != FALSE;
    });
}

void Win32DialogWindow::ScrollLogToEnd() {
    OnThread([&] {
        HWND log = Control(ControlId::Log);
        const int end = GetWindowTextLengthW(log);
        SendMessageW(log, EM_SETSEL, end, end);
        SendMessageW(log, EM_SCROLLCARET, 0, 0);
    });
}

void Win32DialogWindow::ShowDrives(std::string_view computer, std::span<const DriveItem> drives) {
    OnThread([&] {
        ForgetTreeDescriptions();
        tree.Clear();
        const TreeItem root = tree.Insert(kNoTreeItem, computer, TreeImage::Computer);
        for (const DriveItem& drive : drives) {
            const TreeItem item = tree.Insert(root, drive.text, TreeImage::Drive);
            if (drive.greyed) {
                tree.SetItemColor(item, kGreyedItemColor);
                // Grey alone says nothing to a screen reader.
                accessibility.SetTreeItemDescription(
                    tree.Handle(), reinterpret_cast<HTREEITEM>(item), kGreyedDriveDescription);
            }
        }
        tree.Expand(root);
    });
}

TreeItem Win32DialogWindow::DriveItemAt(size_t position) const {
    TreeItem item = tree.FirstChild(tree.Root());
    for (size_t i = 0; i < position && item != kNoTreeItem; ++i) {
        item = tree.NextSibling(item);
    }
    return item;
}

TreeSelection Win32DialogWindow::Selection() const {
    return OnThread([&] {
        const TreeItem selected = tree.Selected();
        if (selected == kNoTreeItem) {
            return TreeSelection{};
        }
        if (selected == tree.Root()) {
            return TreeSelection::Computer();
        }
        size_t position = 0;
        for (TreeItem item = tree.FirstChild(tree.Root()); item != kNoTreeItem;
             item = tree.NextSibling(item), ++position) {
            if (item == selected) {
                return TreeSelection::Drive(position);
            }
        }
        return TreeSelection{};
    });
}

void Win32DialogWindow::SetDriveText(size_t position, std::string_view text) {
    OnThread([&] { tree.SetText(DriveItemAt(position), text); });
}

void Win32DialogWindow::SetProgress(int position) {
    OnThread([&] { SendMessageW(Control(ControlId::Progress), PBM_SETPOS, position, 0); });
}

void Win32DialogWindow::StepProgress() {
    OnThread([&] {
        const int position =
            static_cast<int>(SendMessageW(Control(ControlId::Progress), PBM_GETPOS, 0, 0));
        SendMessageW(Control(ControlId::Progress), PBM_SETPOS, SteppedProgress(position), 0);
    });
}

int Win32DialogWindow::Progress() const {
    return OnThread([&] {
        return static_cast<int>(SendMessageW(Control(ControlId::Progress), PBM_GETPOS, 0, 0));
    });
}

void Win32DialogWindow::StartProgressTimer() {
    OnThread([&] { SetTimer(dialog, kProgressTimerId, kProgressTimerPeriodMs, nullptr); });
}

void Win32DialogWindow::StopProgressTimer() {
    OnThread([&] { KillTimer(dialog, kProgressTimerId); });
}

BoxAnswer Win32DialogWindow::ShowMessageBox(const MessageBoxRequest& request) {
    return OnThread([&] { return RunMessageBox(dialog, request, applicationTitle); });
}

void Win32DialogWindow::EnableCloseCommand(bool enabled) {
    OnThread([&] {
        closeCommandEnabled = enabled;
        EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE,
                       MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    });
}

void Win32DialogWindow::EndDialog(int result) {
    OnThread([&] { ::EndDialog(dialog, result); });
}

}  // namespace flashtool::win32
