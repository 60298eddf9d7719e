#pragma once

// A dialog template in memory, as DialogBoxIndirectParamW reads it: the DLGTEMPLATE header
// (with the font, since DS_SETFONT is set), then one DLGITEMTEMPLATE per control, each on a
// 4-byte boundary. Built from a plain description so that the bytes are checked on any
// platform.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "app/DialogTemplate.h"

namespace flashtool::win32 {

struct DialogItemPlan {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    DluRect rect;
    uint16_t id = 0;
    // A predefined class by its number, or a registered class by its name.
    std::variant<uint16_t, std::u16string> windowClass;
    std::u16string text;
};

struct DialogPlan {
    uint32_t style = 0;  // DS_SETFONT is added
    uint32_t exStyle = 0;
    DluRect rect;
    std::u16string caption;
    uint16_t fontPoints = 0;
    std::u16string fontFace;
    std::vector<DialogItemPlan> items;
};

// The template as 16-bit words; the vector's storage is suitably aligned for a template
// (operator new aligns far beyond 4 bytes) and its size is a whole number of DWORDs.
std::vector<uint16_t> BuildDialogTemplate(const DialogPlan& plan);

}  // namespace flashtool::win32
