#include "app/win32/Win32MessageBox.h"

#include "app/win32/WideText.h"

namespace flashtool::win32 {

UINT MessageBoxFlags(const MessageBoxRequest& request) {
    UINT flags = request.buttons == BoxButtons::OkCancel ? MB_OKCANCEL : MB_OK;
    switch (request.icon) {
        case BoxIcon::Exclamation:
            flags |= MB_ICONEXCLAMATION;
            break;
        case BoxIcon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case BoxIcon::Stop:
            flags |= MB_ICONSTOP;
            break;
        case BoxIcon::None:
            break;
    }
    return flags | MB_DEFBUTTON1;
}

BoxAnswer RunMessageBox(HWND owner, const MessageBoxRequest& request,
                        const std::u16string& applicationTitle) {
    // The system's box has no second text: the detail follows the text after a blank line.
    const std::u16string text = WidenBytes(
        request.detail.empty() ? request.text : request.text + "\r\n\r\n" + request.detail);
    const std::u16string caption =
        request.caption ? WidenBytes(*request.caption) : applicationTitle;
    const int answer =
        MessageBoxW(owner, reinterpret_cast<LPCWSTR>(text.c_str()),
                    reinterpret_cast<LPCWSTR>(caption.c_str()), MessageBoxFlags(request));
    // A box with OK alone has one answer, whichever way it was closed.
    if (request.buttons == BoxButtons::Ok) {
        return BoxAnswer::Ok;
    }
    return answer == IDOK ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

}  // namespace flashtool::win32
