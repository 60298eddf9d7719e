#pragma once

// The About box: the program's icon, its version and what it is, and OK; built in memory
// from the same texts and rectangles as the Qt About box, in the dialog's font.

#include <windows.h>

namespace flashtool::win32 {

void ShowAboutBox(HWND owner, HICON icon);

}  // namespace flashtool::win32
