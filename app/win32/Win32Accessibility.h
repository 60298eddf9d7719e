#pragma once

// What a screen reader says about the dialog's controls, through the system's accessibility
// layer (MSAA, IAccPropServices). The texts are app/AccessibleTexts.h's, shared with the Qt
// window.

#include <windows.h>
// windows.h first: the common controls header relies on its types.
#include <commctrl.h>

#include <string_view>

struct IAccPropServices;

namespace flashtool::win32 {

class Win32Accessibility {
public:
    // Without the accessibility layer (COM not started, an old system) every call does
    // nothing: the window works the same, only less described.
    Win32Accessibility();
    ~Win32Accessibility();
    Win32Accessibility(const Win32Accessibility&) = delete;
    Win32Accessibility& operator=(const Win32Accessibility&) = delete;

    void SetName(HWND control, std::string_view name);
    // A tree item's description; an empty one removes it.
    void SetTreeItemDescription(HWND tree, HTREEITEM item, std::string_view description);
    // Forgets what was set on the control (before it is destroyed).
    void Clear(HWND control);

private:
    IAccPropServices* services = nullptr;
};

}  // namespace flashtool::win32
