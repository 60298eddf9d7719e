#include "app/controls/CTreeCtrlEx.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace flashtool {

QColor ToQColor(ColorRef color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent) : QTreeWidget(parent) {
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, &CTreeCtrlEx::ForgetRows);
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { itemStyles.clear(); });
}

CTreeCtrlEx::~CTreeCtrlEx() {
    // The base class empties its model after this destructor has run; nothing of ours may
    // hear of it then.
    disconnect(model(), nullptr, this, nullptr);
    itemStyles.clear();
}

void CTreeCtrlEx::SetItemColor(const QTreeWidgetItem* item, ColorRef color) {
    if (item == nullptr) {
        return;
    }
    itemStyles[item].color = color;
    viewport()->update();
}

bool CTreeCtrlEx::GetItemBold(const QTreeWidgetItem* item) {
    return item != nullptr && item->font(0).bold();
}

void CTreeCtrlEx::ForgetRows(const QModelIndex& parent, int first, int last) {
    for (int row = first; row <= last; ++row) {
        QTreeWidgetItem* item = itemFromIndex(model()->index(row, 0, parent));
        std::vector<const QTreeWidgetItem*> pending{item};
        while (!pending.empty()) {
            const QTreeWidgetItem* current = pending.back();
            pending.pop_back();
            if (current == nullptr) {
                continue;
            }
            itemStyles.erase(current);
            for (int child = 0; child < current->childCount(); ++child) {
                pending.push_back(current->child(child));
            }
        }
    }
}

void CTreeCtrlEx::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    visitedOnLastPaint = 0;
    QTreeWidgetItem* item = itemAt(QPoint(0, 0));
    if (item == nullptr) {
        return;
    }
    // The rows that fit whole, plus the one cut by the bottom edge.
    const int rowHeight = std::max(1, visualItemRect(item).height());
    const size_t limit = static_cast<size_t>(viewport()->height() / rowHeight) + 1;
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    for (; item != nullptr && visitedOnLastPaint < limit; item = itemBelow(item)) {
        ++visitedOnLastPaint;
        if (item->isSelected() && hasFocus()) {
            continue;
        }
        const auto style = itemStyles.find(item);
        if (style != itemStyles.end()) {
            DrawStyledItem(painter, item, style->second);
        }
    }
}

QRect CTreeCtrlEx::TextRect(QTreeWidgetItem* item) const {
    const QModelIndex index = indexFromItem(item);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.index = index;
    option.text = item->text(0);
    option.font = item->font(0);
    option.features |= QStyleOptionViewItem::HasDisplay;
    if (!item->icon(0).isNull()) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.icon = item->icon(0);
    }
    return style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
}

void CTreeCtrlEx::DrawStyledItem(QPainter& painter, QTreeWidgetItem* item,
                                 const ItemStyle& style) const {
    QFont font = this->font();
    if (GetItemBold(item)) {
        font.setWeight(QFont::Bold);
    }
    const QColor text =
        style.color == kWindowTextColor ? palette().color(QPalette::Text) : ToQColor(style.color);
    // The text part of the row is filled with the window colour, whatever the standard
    // drawing put there, and the text is drawn where the standard drawing puts it, so none
    // of the standard text shows through.
    const QRect textRect = TextRect(item);
    painter.fillRect(textRect, palette().color(QPalette::Base));
    const int margin = this->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const QRect drawRect = textRect.adjusted(margin, 0, -margin, 0);
    painter.setFont(font);
    painter.setPen(text);
    const QString shown =
        QFontMetrics(font).elidedText(item->text(0), textElideMode(), drawRect.width());
    painter.drawText(drawRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

}  // namespace flashtool
