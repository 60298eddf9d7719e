#pragma once

// The program's message boxes as the system's own (MessageBoxW), owned by the dialog.

#include <windows.h>

#include <string>

#include "core/MessageBox.h"

namespace flashtool::win32 {

// The MB_ flags of a request: its buttons and its icon, OK the default button.
UINT MessageBoxFlags(const MessageBoxRequest& request);

// `applicationTitle` captions the boxes that have none of their own.
BoxAnswer RunMessageBox(HWND owner, const MessageBoxRequest& request,
                        const std::u16string& applicationTitle);

}  // namespace flashtool::win32
