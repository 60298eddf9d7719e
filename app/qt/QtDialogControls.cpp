// The tree, the progress bar and the timers of the Qt window.

#include <QProgressBar>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include "app/AccessibleTexts.h"
#include "app/controls/CTreeCtrlEx.h"
#include "app/qt/QtDialogWindow.h"
#include "app/qt/QtText.h"
#include "app/qt/UiThread.h"

namespace flashtool {

namespace {

QTreeWidgetItem* ItemOf(TreeItem item) {
    return reinterpret_cast<QTreeWidgetItem*>(item);
}
TreeItem HandleOf(const QTreeWidgetItem* item) {
    return reinterpret_cast<TreeItem>(item);
}

}  // namespace

void QtDialogWindow::ClearTree() {
    OnOwnerThread(calls, [&] { tree->clear(); });
}

TreeItem QtDialogWindow::InsertTreeItem(TreeItem parent, std::string_view text, TreeImage image) {
    return OnOwnerThread(calls, [&] {
        auto* item = new QTreeWidgetItem(QStringList{ToQString(text)});
        item->setIcon(0, image == TreeImage::Computer ? computerIcon : driveIcon);
        if (parent == kNoTreeItem) {
            tree->addTopLevelItem(item);
        } else {
            ItemOf(parent)->addChild(item);
        }
        return HandleOf(item);
    });
}

void QtDialogWindow::SetTreeItemColor(TreeItem item, ColorRef color) {
    OnOwnerThread(calls, [&] {
        tree->SetItemColor(ItemOf(item), color);
        // Grey alone says nothing to a screen reader.
        ItemOf(item)->setData(
            0, Qt::AccessibleDescriptionRole,
            color == kWindowTextColor ? QVariant() : QVariant(ToQString(kGreyedDriveDescription)));
    });
}

void QtDialogWindow::ExpandTreeItem(TreeItem item) {
    OnOwnerThread(calls, [&] { ItemOf(item)->setExpanded(true); });
}

TreeItem QtDialogWindow::RootTreeItem() const {
    return OnOwnerThread(calls, [&] { return HandleOf(tree->topLevelItem(0)); });
}

TreeItem QtDialogWindow::SelectedTreeItem() const {
    return OnOwnerThread(calls, [&] {
        const QList<QTreeWidgetItem*> selected = tree->selectedItems();
        return selected.isEmpty() ? kNoTreeItem : HandleOf(selected.first());
    });
}

TreeItem QtDialogWindow::FirstChild(TreeItem item) const {
    return OnOwnerThread(calls, [&] {
        QTreeWidgetItem* node = ItemOf(item);
        return node != nullptr && node->childCount() > 0 ? HandleOf(node->child(0)) : kNoTreeItem;
    });
}

TreeItem QtDialogWindow::NextSibling(TreeItem item) const {
    return OnOwnerThread(calls, [&] {
        QTreeWidgetItem* node = ItemOf(item);
        if (node == nullptr) {
            return kNoTreeItem;
        }
        QTreeWidgetItem* parent = node->parent();
        if (parent == nullptr) {
            return HandleOf(tree->topLevelItem(tree->indexOfTopLevelItem(node) + 1));
        }
        return HandleOf(parent->child(parent->indexOfChild(node) + 1));
    });
}

std::string QtDialogWindow::TreeItemText(TreeItem item) const {
    return OnOwnerThread(calls, [&] {
        QTreeWidgetItem* node = ItemOf(item);
        return node != nullptr ? ToBytes(node->text(0)) : std::string();
    });
}

void QtDialogWindow::SetTreeItemText(TreeItem item, std::string_view text) {
    OnOwnerThread(calls, [&] {
        if (QTreeWidgetItem* node = ItemOf(item)) {
            node->setText(0, ToQString(text));
        }
    });
}

size_t QtDialogWindow::TreeItemCount() const {
    return OnOwnerThread(calls, [&] {
        size_t count = 0;
        for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
            ++count;
        }
        return count;
    });
}

void QtDialogWindow::SetProgressRange(int minimum, int maximum) {
    OnOwnerThread(calls, [&] { progress->setRange(minimum, maximum); });
}

void QtDialogWindow::SetProgressPos(int position) {
    OnOwnerThread(calls, [&] { progress->setValue(position); });
}

void QtDialogWindow::SetProgressStep(int step) {
    OnOwnerThread(calls, [&] { progressStep = step; });
}

void QtDialogWindow::StepProgress() {
    OnOwnerThread(calls, [&] {
        progress->setValue(SteppedProgress(progress->value(), progressStep, progress->minimum(),
                                           progress->maximum()));
    });
}

int QtDialogWindow::ProgressPos() const {
    return OnOwnerThread(calls, [&] { return progress->value(); });
}

void QtDialogWindow::StartTimer(int id, uint32_t periodMs) {
    OnOwnerThread(calls, [&] {
        QTimer*& timer = timers[id];
        if (timer == nullptr) {
            timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this, [this, id] {
                if (handlers != nullptr) {
                    handlers->OnTimer(id);
                }
            });
        }
        timer->start(static_cast<int>(periodMs));
    });
}

void QtDialogWindow::StopTimer(int id) {
    OnOwnerThread(calls, [&] {
        const auto found = timers.find(id);
        if (found != timers.end()) {
            found->second->stop();
        }
    });
}

const QTimer* QtDialogWindow::ActiveTimer(int id) const {
    const auto found = timers.find(id);
    return found != timers.end() && found->second->isActive() ? found->second : nullptr;
}

}  // namespace flashtool
