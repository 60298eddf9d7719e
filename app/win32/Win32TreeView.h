#pragma once

// The drive tree on the system's tree view, with the `CTreeCtrlEx` idea: chosen items are
// drawn in a text colour and font of their own. The control draws everything; custom draw
// only swaps the colour and the font of a styled item before the control draws it, except
// for a selected item while the tree has the keyboard focus, which keeps the standard
// highlight (grey on the highlight colour would be hard to read).

#include <windows.h>
// windows.h first: the common controls header relies on its types.
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <string_view>

#include "app/ColorRef.h"

namespace flashtool::win32 {

// An item of the tree (its HTREEITEM); 0 is no item.
using TreeItem = std::uintptr_t;
inline constexpr TreeItem kNoTreeItem = 0;

enum class TreeImage : uint8_t { Computer = 0, Drive = 1 };

struct TreeItemStyle {
    ColorRef color = kWindowTextColor;
    bool bold = false;
};

class Win32TreeView {
public:
    Win32TreeView() = default;
    ~Win32TreeView();
    Win32TreeView(const Win32TreeView&) = delete;
    Win32TreeView& operator=(const Win32TreeView&) = delete;

    // Takes the dialog's tree control: gives it the computer and drive images.
    void Attach(HWND control);
    HWND Handle() const { return tree; }

    void Clear();
    TreeItem Insert(TreeItem parent, std::string_view text, TreeImage image);
    void SetItemColor(TreeItem item, ColorRef color);
    void SetItemBold(TreeItem item, bool bold);
    void Expand(TreeItem item);
    TreeItem Root() const;
    TreeItem Selected() const;
    TreeItem FirstChild(TreeItem item) const;
    TreeItem NextSibling(TreeItem item) const;
    void SetText(TreeItem item, std::string_view text);

    const std::map<TreeItem, TreeItemStyle>& Styles() const { return styles; }

    // NM_CUSTOMDRAW from the tree: what the dialog procedure answers.
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW& draw);

private:
    HFONT BoldFont();

    HWND tree = nullptr;
    HIMAGELIST images = nullptr;
    HFONT boldFont = nullptr;
    // Entries go with their items (Clear), so that a new item never inherits a style.
    std::map<TreeItem, TreeItemStyle> styles;
};

}  // namespace flashtool::win32
