// The drive tree, the progress bar and its timer in the Qt window.

#include <QProgressBar>
#include <QTimer>

#include "app/AccessibleTexts.h"
#include "app/ColorRef.h"
#include "app/controls/CTreeCtrlEx.h"
#include "app/qt/QtDialogWindow.h"
#include "app/qt/QtText.h"
#include "app/qt/UiThread.h"

namespace flashtool {

void QtDialogWindow::ShowDrives(std::string_view computer, std::span<const DriveItem> drives) {
    WithControls([&] {
        tree->clear();
        auto* root = new QTreeWidgetItem(QStringList{ToQString(computer)});
        root->setIcon(0, computerIcon);
        tree->addTopLevelItem(root);
        for (const DriveItem& drive : drives) {
            auto* item = new QTreeWidgetItem(QStringList{ToQString(drive.text)});
            item->setIcon(0, driveIcon);
            root->addChild(item);
            if (drive.greyed) {
                tree->SetItemColor(item, kGreyedItemColor);
                // Grey alone says nothing to a screen reader.
                item->setData(0, Qt::AccessibleDescriptionRole, ToQString(kGreyedDriveDescription));
            }
        }
        root->setExpanded(true);
    });
}

TreeSelection QtDialogWindow::Selection() const {
    return WithControls([&] {
        const QList<QTreeWidgetItem*> selected = tree->selectedItems();
        if (selected.isEmpty()) {
            return TreeSelection{};
        }
        const QTreeWidgetItem* parent = selected.first()->parent();
        if (parent == nullptr) {
            return TreeSelection::Computer();
        }
        return TreeSelection::Drive(static_cast<size_t>(parent->indexOfChild(selected.first())));
    });
}

void QtDialogWindow::SetDriveText(size_t position, std::string_view text) {
    WithControls([&] {
        QTreeWidgetItem* root = tree->topLevelItem(0);
        if (root != nullptr && position < static_cast<size_t>(root->childCount())) {
            root->child(static_cast<int>(position))->setText(0, ToQString(text));
        }
    });
}

void QtDialogWindow::SetProgress(int position) {
    WithControls([&] { progress->setValue(position); });
}

void QtDialogWindow::StepProgress() {
    WithControls([&] { progress->setValue(SteppedProgress(progress->value())); });
}

int QtDialogWindow::Progress() const {
    return WithControls([&] { return progress->value(); });
}

void QtDialogWindow::StartProgressTimer() {
    OnOwnerThread(calls, [&] {
        if (progressTimer == nullptr) {
            progressTimer = new QTimer(this);
            connect(progressTimer, &QTimer::timeout, this, [this] {
                if (handlers != nullptr) {
                    handlers->OnProgressTimer();
                }
            });
        }
        progressTimer->start(static_cast<int>(kProgressTimerPeriodMs));
    });
}

void QtDialogWindow::StopProgressTimer() {
    OnOwnerThread(calls, [&] {
        if (progressTimer != nullptr) {
            progressTimer->stop();
        }
    });
}

const QTimer* QtDialogWindow::ActiveProgressTimer() const {
    return progressTimer != nullptr && progressTimer->isActive() ? progressTimer : nullptr;
}

}  // namespace flashtool
