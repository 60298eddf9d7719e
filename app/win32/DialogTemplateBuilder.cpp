#include "app/win32/DialogTemplateBuilder.h"

#include "app/win32/WindowStyles.h"

namespace flashtool::win32 {

namespace {

// Little-endian words, as the template is read on x86 and ARM Windows alike.
void PutDword(std::vector<uint16_t>& out, uint32_t value) {
    out.push_back(static_cast<uint16_t>(value & 0xFFFF));
    out.push_back(static_cast<uint16_t>(value >> 16));
}

void PutShort(std::vector<uint16_t>& out, int value) {
    out.push_back(static_cast<uint16_t>(static_cast<int16_t>(value)));
}

void PutRect(std::vector<uint16_t>& out, const DluRect& rect) {
    PutShort(out, rect.x);
    PutShort(out, rect.y);
    PutShort(out, rect.width);
    PutShort(out, rect.height);
}

// A zero-terminated string in place.
void PutText(std::vector<uint16_t>& out, const std::u16string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

void AlignToDword(std::vector<uint16_t>& out) {
    if (out.size() % 2 != 0) {
        out.push_back(0);
    }
}

void PutItem(std::vector<uint16_t>& out, const DialogItemPlan& item) {
    AlignToDword(out);
    PutDword(out, item.style);
    PutDword(out, item.exStyle);
    PutRect(out, item.rect);
    out.push_back(item.id);
    if (const auto* atom = std::get_if<uint16_t>(&item.windowClass)) {
        out.push_back(0xFFFF);
        out.push_back(*atom);
    } else {
        PutText(out, std::get<std::u16string>(item.windowClass));
    }
    PutText(out, item.text);
    out.push_back(0);  // no creation data
}

}  // namespace

std::vector<uint16_t> BuildDialogTemplate(const DialogPlan& plan) {
    std::vector<uint16_t> out;
    PutDword(out, plan.style | kDsSetFont);
    PutDword(out, plan.exStyle);
    out.push_back(static_cast<uint16_t>(plan.items.size()));
    PutRect(out, plan.rect);
    out.push_back(0);  // no menu
    out.push_back(0);  // the system's dialog class
    PutText(out, plan.caption);
    out.push_back(plan.fontPoints);
    PutText(out, plan.fontFace);
    for (const DialogItemPlan& item : plan.items) {
        PutItem(out, item);
    }
    AlignToDword(out);
    return out;
}

}  // namespace flashtool::win32
