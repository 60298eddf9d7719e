#pragma once

// What a screen reader says about the dialog's controls, through the system's accessibility
// layer (MSAA, IAccPropServices). Buttons are named by their texts and the tree by the
// label before it; the log and the progress bar have no label, so they get names here, and
// a drive the build cannot update is described as such, not only drawn grey.

#include <windows.h>
// windows.h first: the common controls header relies on its types.
#include <commctrl.h>

#include <string_view>

struct IAccPropServices;

namespace flashtool::win32 {

inline constexpr std::string_view kLogAccessibleName = "Log";
inline constexpr std::string_view kProgressAccessibleName = "Progress";
inline constexpr std::string_view kGreyedDriveDescription =
    "This program cannot update this drive.";

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
