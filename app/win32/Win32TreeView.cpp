#include "app/win32/Win32TreeView.h"

#include <shellapi.h>

#include <array>

#include "app/win32/WideText.h"

namespace flashtool::win32 {

namespace {

HTREEITEM HandleOf(TreeItem item) {
    return reinterpret_cast<HTREEITEM>(item);
}
TreeItem ItemOf(HTREEITEM handle) {
    return reinterpret_cast<TreeItem>(handle);
}

// The system's own pictures of a computer and of an optical drive, in TreeImage's order.
constexpr std::array<int, 2> kShellIconIndex{15, 11};
constexpr int kImageSize = 16;

COLORREF SystemColorOf(ColorRef color) {
    return color == kWindowTextColor ? GetSysColor(COLOR_WINDOWTEXT)
                                     : RGB(RedOf(color), GreenOf(color), BlueOf(color));
}

}  // namespace

Win32TreeView::~Win32TreeView() {
    if (images != nullptr) {
        ImageList_Destroy(images);
    }
    if (boldFont != nullptr) {
        DeleteObject(boldFont);
    }
}

void Win32TreeView::Attach(HWND control) {
    tree = control;
    images = ImageList_Create(kImageSize, kImageSize, ILC_COLOR32 | ILC_MASK, 2, 0);
    for (int index : kShellIconIndex) {
        HICON icon = nullptr;
        ExtractIconExW(L"shell32.dll", index, nullptr, &icon, 1);
        if (icon == nullptr) {
            icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        }
        ImageList_AddIcon(images, icon);
        DestroyIcon(icon);
    }
    TreeView_SetImageList(tree, images, TVSIL_NORMAL);
}

void Win32TreeView::Clear() {
    TreeView_DeleteAllItems(tree);
    styles.clear();
}

TreeItem Win32TreeView::Insert(TreeItem parent, std::string_view text, TreeImage image) {
    std::u16string wide = WidenBytes(text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent == kNoTreeItem ? TVI_ROOT : HandleOf(parent);
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = reinterpret_cast<LPWSTR>(wide.data());
    insert.item.iImage = static_cast<int>(image);
    insert.item.iSelectedImage = static_cast<int>(image);
    return ItemOf(reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert))));
}

void Win32TreeView::SetItemColor(TreeItem item, ColorRef color) {
    styles[item].color = color;
    InvalidateRect(tree, nullptr, TRUE);
}

void Win32TreeView::SetItemBold(TreeItem item, bool bold) {
    styles[item].bold = bold;
    InvalidateRect(tree, nullptr, TRUE);
}

void Win32TreeView::Expand(TreeItem item) {
    TreeView_Expand(tree, HandleOf(item), TVE_EXPAND);
}

TreeItem Win32TreeView::Root() const {
    return ItemOf(TreeView_GetRoot(tree));
}

TreeItem Win32TreeView::Selected() const {
    return ItemOf(TreeView_GetSelection(tree));
}

TreeItem Win32TreeView::FirstChild(TreeItem item) const {
    return item == kNoTreeItem ? kNoTreeItem : ItemOf(TreeView_GetChild(tree, HandleOf(item)));
}

TreeItem Win32TreeView::NextSibling(TreeItem item) const {
    return item == kNoTreeItem ? kNoTreeItem
                               : ItemOf(TreeView_GetNextSibling(tree, HandleOf(item)));
}

void Win32TreeView::SetText(TreeItem item, std::string_view text) {
    if (item == kNoTreeItem) {
        return;
    }
    std::u16string wide = WidenBytes(text);
    TVITEMW change{};
    change.mask = TVIF_TEXT;
    change.hItem = HandleOf(item);
    change.pszText = reinterpret_cast<LPWSTR>(wide.data());
    SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

HFONT Win32TreeView::BoldFont() {
    if (boldFont == nullptr) {
        LOGFONTW font{};
        const auto current = reinterpret_cast<HFONT>(SendMessageW(tree, WM_GETFONT, 0, 0));
        GetObjectW(current != nullptr ? current : GetStockObject(DEFAULT_GUI_FONT), sizeof(font),
                   &font);
        font.lfWeight = FW_BOLD;
        boldFont = CreateFontIndirectW(&font);
    }
    return boldFont;
}

LRESULT Win32TreeView::OnCustomDraw(NMTVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            const auto found = styles.find(static_cast<TreeItem>(draw.nmcd.dwItemSpec));
            if (found == styles.end()) {
                return CDRF_DODEFAULT;
            }
            const bool highlighted =
                (draw.nmcd.uItemState & CDIS_SELECTED) != 0 && GetFocus() == tree;
            if (found->second.bold) {
                SelectObject(draw.nmcd.hdc, BoldFont());
            }
            if (!highlighted) {
                // The control reads the colour back from the structure it sent.
                draw.clrText = SystemColorOf(found->second.color);
            }
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace flashtool::win32
