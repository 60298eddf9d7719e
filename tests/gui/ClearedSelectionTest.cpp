// Ctrl+click on the selected drive clears the tree's selection. The Upgrade press that
// follows must not fall back on any drive: it tells the operator to select one, and nothing
// after the scan reaches any drive.

#include <gtest/gtest.h>

#include <QTreeWidget>

#include "GuiRig.h"

namespace flashtool::testing {
namespace {

TEST(ClearedSelection, UpgradeSendsNothingAndAsksForADrive) {
    auto drives = MakeDemoDrives();
    GuiRig rig(drives);
    ASSERT_TRUE(rig.StartShown());
    QtDialogWindow& window = rig.Window();
    CTreeCtrlEx* tree = window.Tree();
    // The greyed QV-5520A, as the operator tried it, then the target.
    for (const int row : {2, 0}) {
        SCOPED_TRACE(row);
        rig.SelectDrive(row);
        QTreeWidgetItem* item = tree->topLevelItem(0)->child(row);
        ASSERT_TRUE(item->isSelected());
        for (auto& drive : drives) {
            drive->ClearTrace();
        }
        rig.boxes.clear();

        const QPoint at = tree->visualItemRect(item).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, at);
        ASSERT_TRUE(tree->selectedItems().isEmpty());
        EXPECT_EQ(window.LogText(), "No drive selected.");

        QTest::mouseClick(window.Control(ControlId::Upgrade), Qt::LeftButton);
        ASSERT_EQ(rig.boxes.size(), 1u);
        EXPECT_EQ(rig.boxes[0].text, "No drive selected.Please select a drive to flash!");
        for (const auto& drive : drives) {
            EXPECT_TRUE(drive->Trace().empty()) << drive->Identification();
        }
        EXPECT_FALSE(rig.Dialog().RunInProgress());
    }
}

}  // namespace
}  // namespace flashtool::testing
