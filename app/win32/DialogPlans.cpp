#include "app/win32/DialogPlans.h"

#include "app/win32/WideText.h"
#include "app/win32/WindowStyles.h"

namespace flashtool::win32 {

namespace {

constexpr uint32_t kChild = kWsChild | kWsVisible;
// A modal dialog centred on the screen, with a title bar and a system menu; the main
// dialog can also be minimised.
constexpr uint32_t kDialogStyle = kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsCenter;

// The drive tree: expand buttons and connecting lines down to the top level, a selection
// that stays visible while the log has the focus, hot tracking, no dragging.
constexpr uint32_t kTreeStyle = kWsBorder | kTvsHasButtons | kTvsHasLines | kTvsLinesAtRoot |
                                kTvsShowSelAlways | kTvsDisableDragDrop | kTvsTrackSelect;
// The log: several lines, read-only, a vertical scroll bar.
constexpr uint32_t kLogStyle = kWsBorder | kWsVScroll | kEsMultiline | kEsAutoVScroll | kEsReadOnly;

DialogItemPlan KindPlan(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
            return {kChild | kBsPushButton, 0, {}, 0, kButtonAtom, {}};
        case ControlKind::StaticText:
            return {kChild | kSsLeft, 0, {}, 0, kStaticAtom, {}};
        case ControlKind::TreeView:
            return {kChild | kTreeStyle, 0, {}, 0, std::u16string(kTreeViewClass), {}};
        case ControlKind::ProgressBar:
            return {kChild | kWsBorder, 0, {}, 0, std::u16string(kProgressClass), {}};
        case ControlKind::Edit:
            return {kChild | kLogStyle, 0, {}, 0, kEditAtom, {}};
    }
    return {};
}

std::u16string DialogFontFace() {
    return WidenBytes(kDialogFontFamily);
}

}  // namespace

DialogItemPlan MainControlPlan(const ControlTemplate& control) {
    DialogItemPlan item = KindPlan(control.kind);
    if (control.tabStop) {
        item.style |= kWsTabStop;
    }
    item.rect = control.rect;
    item.id = static_cast<uint16_t>(control.id);
    item.text = WidenBytes(control.text);
    return item;
}

DialogPlan MainDialogPlan() {
    DialogPlan plan;
    plan.style = kDialogStyle | kWsMinimizeBox;
    plan.rect = {0, 0, kMainDialogWidth, kMainDialogHeight};
    plan.caption = WidenBytes(kMainCaption);
    plan.fontPoints = kDialogFontPoints;
    plan.fontFace = DialogFontFace();
    // In tab order: the dialog manager's Tab key follows the template's order.
    for (const ControlTemplate& control : kMainControls) {
        plan.items.push_back(MainControlPlan(control));
    }
    return plan;
}

DialogPlan AboutBoxPlan(std::string_view buildText) {
    DialogPlan plan;
    plan.style = kDialogStyle;
    plan.rect = {0, 0, kAboutWidth, kAboutHeight};
    plan.caption = WidenBytes(kAboutCaption);
    // The dialog's own font, so that the texts fit the rectangles they were laid out for.
    plan.fontPoints = kDialogFontPoints;
    plan.fontFace = DialogFontFace();
    // The texts are shown as they stand: no access-key processing.
    const uint32_t label = kChild | kSsLeft | kSsNoPrefix;
    plan.items = {
        {kChild | kSsIcon, 0, kAboutIconRect, kAboutIconId, kStaticAtom, {}},
        {label, 0, kAboutVersionRect, kUnnamedStaticId, kStaticAtom, WidenBytes(kAboutVersionText)},
        {label, 0, kAboutNoticeRect, kUnnamedStaticId, kStaticAtom, WidenBytes(kAboutNoticeText)},
        {label, 0, kAboutBuildRect, kUnnamedStaticId, kStaticAtom, WidenBytes(buildText)},
        {kChild | kBsDefPushButton | kWsTabStop | kWsGroup, 0, kAboutOkRect, kIdOk, kButtonAtom,
         u"OK"},
    };
    return plan;
}

}  // namespace flashtool::win32
