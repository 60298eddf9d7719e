#pragma once

// A tree view that draws chosen items in a text colour of their own (the drive
// tree greys the drives this build cannot update). The standard drawing stays underneath;
// styled items are drawn over it, except a selected item while the control has the
// keyboard focus, which keeps the standard highlight. Qt widgets paint into a back buffer
// already, so the result reaches the screen in one step.

#include <QFont>
#include <QTreeWidget>
#include <map>

#include "app/ColorRef.h"

class QPainter;

namespace flashtool {

struct ItemStyle {
    ColorRef color = kWindowTextColor;
};

class CTreeCtrlEx : public QTreeWidget {
    Q_OBJECT

public:
    explicit CTreeCtrlEx(QWidget* parent = nullptr);
    ~CTreeCtrlEx() override;

    // Replaces the colour of the item's style, or gives the item a style with that colour
    // and the control's font.
    void SetItemColor(const QTreeWidgetItem* item, ColorRef color);
    // True when the item is shown bold.
    static bool GetItemBold(const QTreeWidgetItem* item);

    const std::map<const QTreeWidgetItem*, ItemStyle>& ItemStyles() const { return itemStyles; }
    // How many items the last paint looked at: never more than fit in view, plus one.
    size_t ItemsVisitedOnLastPaint() const { return visitedOnLastPaint; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawStyledItem(QPainter& painter, QTreeWidgetItem* item, const ItemStyle& style) const;
    QRect TextRect(QTreeWidgetItem* item) const;
    void ForgetRows(const QModelIndex& parent, int first, int last);

    // Entries of deleted items are dropped, so that a new item never inherits a style.
    std::map<const QTreeWidgetItem*, ItemStyle> itemStyles;
    size_t visitedOnLastPaint = 0;
};

// The QColor of a 0x00BBGGRR value.
QColor ToQColor(ColorRef color);

}  // namespace flashtool
