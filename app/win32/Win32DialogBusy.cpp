// The Win32 window while the dialog works off its thread: a wait cursor (WM_SETCURSOR), a
// marquee bar in the progress bar's place, the buttons and the tree greyed. The dialog's
// own view of the controls is kept meanwhile and comes back when the phase ends.

#include "app/AccessibleTexts.h"
#include "app/win32/Win32DialogWindow.h"
#include "app/win32/WindowThreadCall.h"

namespace flashtool::win32 {

namespace {

// The controls a press or a selection could act through while the worker scans or checks.
constexpr ControlId kGreyedWhileBusy[] = {ControlId::Exit, ControlId::DriveTree,
                                          ControlId::Upgrade};
constexpr UINT kMarqueeStepMs = 30;

}  // namespace

void Win32DialogWindow::CreateBusyBar() {
    HWND bar = Control(ControlId::Progress);
    RECT rect{};
    GetWindowRect(bar, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    busyBar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | PBS_MARQUEE, rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    accessibility.SetName(busyBar, kProgressAccessibleName);
}

void Win32DialogWindow::ShowBusy(bool on) {
    OnWindowThread(dialog, windowThread, [&] {
        if (on != busy) {
            on ? EnterBusy() : LeaveBusy();
        }
    });
}

void Win32DialogWindow::EnterBusy() {
    HWND focused = GetFocus();
    focusAfterBusy = focused != nullptr && IsChild(dialog, focused) ? focused : nullptr;
    for (const ControlId id : kGreyedWhileBusy) {
        // A greyed control would take the keyboard focus with it; the log keeps it meanwhile.
        if (focused == Control(id)) {
            SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(ControlId::Log)),
                         TRUE);
        }
    }
    for (const ControlId id : kGreyedWhileBusy) {
        enabledAfterBusy[id] = IsWindowEnabled(Control(id)) != FALSE;
        EnableWindow(Control(id), FALSE);
    }
    ShowWindow(Control(ControlId::Progress), SW_HIDE);
    ShowWindow(busyBar, SW_SHOW);
    SendMessageW(busyBar, PBM_SETMARQUEE, TRUE, kMarqueeStepMs);
    busy = true;
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
}

void Win32DialogWindow::LeaveBusy() {
    busy = false;
    SendMessageW(busyBar, PBM_SETMARQUEE, FALSE, 0);
    ShowWindow(busyBar, SW_HIDE);
    ShowWindow(Control(ControlId::Progress), SW_SHOW);
    for (const ControlId id : kGreyedWhileBusy) {
        EnableWindow(Control(id), enabledAfterBusy.at(id) ? TRUE : FALSE);
    }
    enabledAfterBusy.clear();
    // Back where it was; at start-up (nothing had it yet) the first control in tab order.
    HWND focus = focusAfterBusy != nullptr && IsWindowEnabled(focusAfterBusy) != FALSE
                     ? focusAfterBusy
                     : GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (focus != nullptr) {
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
    }
    focusAfterBusy = nullptr;
    POINT cursor{};
    if (GetCursorPos(&cursor) != FALSE) {
        HWND under = WindowFromPoint(cursor);
        if (under == dialog || IsChild(dialog, under) != FALSE) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
        }
    }
}

}  // namespace flashtool::win32
