#pragma once

// The main dialog and the About box of the Win32 window, from the same template (control
// ids, texts, rectangles in dialog units, tab order, font) as every other window of the
// program. Here each control kind becomes its Win32 class and styles.

#include <cstdint>
#include <string_view>

#include "app/win32/DialogTemplateBuilder.h"

namespace flashtool::win32 {

// The About box's icon, found by this id to receive the program's icon.
constexpr uint16_t kAboutIconId = 100;
// Statics nobody looks up (IDC_STATIC).
constexpr uint16_t kUnnamedStaticId = 0xFFFF;

DialogItemPlan MainControlPlan(const ControlTemplate& control);
DialogPlan MainDialogPlan();
// The About box; `buildText` is shown under the notice (AboutBuildText in the program).
DialogPlan AboutBoxPlan(std::string_view buildText = {});

}  // namespace flashtool::win32
