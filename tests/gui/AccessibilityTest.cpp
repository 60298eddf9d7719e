// What a screen reader is told about the Qt window, read through Qt's accessibility
// interface as an assistive technology reads it; and the About box in the dialog's font.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <map>

#include "GuiRig.h"
#include "app/qt/AboutBox.h"

namespace flashtool::testing {
namespace {

std::string NameOf(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name).toStdString() : "?";
}

// The tree's rows as the accessibility interface lists them: name -> description.
std::map<std::string, std::string> TreeRows(QtDialogWindow& window) {
    std::map<std::string, std::string> rows;
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(window.Tree());
    if (tree == nullptr) {
        return rows;
    }
    for (int i = 0; i < tree->childCount(); ++i) {
        QAccessibleInterface* row = tree->child(i);
        if (row != nullptr && row->role() == QAccessible::TreeItem) {
            rows[row->text(QAccessible::Name).toStdString()] =
                row->text(QAccessible::Description).toStdString();
        }
    }
    return rows;
}

TEST(Accessibility, EveryControlIsNamedAndTheGreyDrivesSayTheyCannotBeUpdated) {
    GuiRig rig;
    ASSERT_TRUE(rig.StartShown());
    QtDialogWindow& window = rig.Window();

    // The buttons and the tree's label carry the texts the dialog set, access keys dropped.
    EXPECT_EQ(NameOf(window.Control(ControlId::Exit)), "Close");
    EXPECT_EQ(NameOf(window.Control(ControlId::Upgrade)), "Update");
    EXPECT_EQ(NameOf(window.Tree()), "Please select target Drive:");
    EXPECT_EQ(NameOf(window.Control(ControlId::Log)), "Log");
    EXPECT_EQ(NameOf(window.Control(ControlId::Progress)), "Progress");

    const std::string cannot = "This program cannot update this drive.";
    const std::map<std::string, std::string> expected{
        {"My Computer", ""},
        {"ORIN    DVD RW QV-5500A 1.0d", ""},
        {"ORIN    DVD RW QV-5520A 2.1b", cannot},
        {"KESTREL DVD-ROM KD-1650 0113", cannot},
    };
    EXPECT_EQ(TreeRows(window), expected);

    // Shown again in the normal colour, a drive loses the description with the grey.
    const std::vector<DriveItem> again{{"ORIN    DVD RW QV-5520A 2.1b", true},
                                       {"KESTREL DVD-ROM KD-1650 0113", false}};
    window.ShowDrives("My Computer", again);
    QApplication::processEvents();  // the tree lays out its new rows
    EXPECT_EQ(TreeRows(window).at("ORIN    DVD RW QV-5520A 2.1b"), cannot);
    EXPECT_EQ(TreeRows(window).at("KESTREL DVD-ROM KD-1650 0113"), "");
}

// Laid out in the dialog font's units, the About box must be drawn in that font too, or
// its text may not fit the rectangles.
TEST(AboutBox, UsesTheDialogsFontAndItsTextFits) {
    GuiRig rig;
    AboutBox about(rig.Window().AppIcon(), rig.Window().BaseUnits(), &rig.Window());
    EXPECT_EQ(about.font(), rig.Window().font());
    for (const char* name : {"aboutVersion", "aboutNotice"}) {
        auto* label = about.findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->font(), rig.Window().font()) << name;
        EXPECT_LE(label->sizeHint().width(), label->width()) << name;
        EXPECT_LE(label->sizeHint().height(), label->height()) << name;
    }
}

}  // namespace
}  // namespace flashtool::testing
