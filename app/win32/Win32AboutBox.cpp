#include "app/win32/Win32AboutBox.h"

#include "app/win32/DialogPlans.h"
#include "data/BuildIdentity.h"

namespace flashtool::win32 {

namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SendDlgItemMessageW(dialog, kAboutIconId, STM_SETICON, static_cast<WPARAM>(lParam), 0);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

void ShowAboutBox(HWND owner, HICON icon) {
    const std::vector<uint16_t> bytes = BuildDialogTemplate(AboutBoxPlan(AboutBuildText()));
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                            reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner, AboutProc,
                            reinterpret_cast<LPARAM>(icon));
}

}  // namespace flashtool::win32
