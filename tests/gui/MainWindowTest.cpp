// The real Qt window over the emulated drives: start-up, the tree, a selection, the layout
// and the screenshot of the dialog with the target selected.

#include <gtest/gtest.h>

#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <iostream>
#include <optional>

#include "GuiRig.h"
#include "app/controls/CTreeCtrlEx.h"

namespace flashtool::testing {
namespace {

QString ButtonText(QtDialogWindow& window, ControlId id) {
    return static_cast<QPushButton*>(window.Control(id))->text();
}

TEST(MainWindow, StartsWithTheEmulatedDrivesUnderTheBuildsCaption) {
    GuiRig rig;
    ASSERT_TRUE(rig.StartShown());
    QtDialogWindow& window = rig.Window();

    ASSERT_EQ(rig.boxes.size(), 1u);
    EXPECT_EQ(rig.boxes[0].caption, "Warning");
    EXPECT_EQ(rig.boxes[0].buttons, BoxButtons::OkCancel);
    EXPECT_EQ(rig.boxes[0].icon, BoxIcon::Exclamation);
    EXPECT_EQ(window.windowTitle(), "Flash Program for ORIN DVD RW QV-5500A");
    EXPECT_EQ(static_cast<QLabel*>(window.Control(ControlId::DevicesLabel))->text(),
              "Please select target &Drive:");
    EXPECT_EQ(ButtonText(window, ControlId::Exit), "&Close");
    EXPECT_EQ(ButtonText(window, ControlId::Upgrade), "&Update");
    EXPECT_FALSE(window.Control(ControlId::Upgrade)->isEnabled());

    CTreeCtrlEx* tree = window.Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "My Computer");
    EXPECT_TRUE(root->isExpanded());
    EXPECT_FALSE(root->icon(0).isNull());
    ASSERT_EQ(root->childCount(), 3);
    const char* texts[] = {"ORIN    DVD RW QV-5500A 1.0d", "ORIN    DVD RW QV-5520A 2.1b",
                           "KESTREL DVD-ROM KD-1650 0113"};
    const bool grey[] = {false, true, true};
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem* item = root->child(i);
        EXPECT_EQ(item->text(0), texts[i]);
        EXPECT_FALSE(item->icon(0).isNull());
        const auto style = tree->ItemStyles().find(item);
        ASSERT_EQ(style != tree->ItemStyles().end(), grey[i]) << i;
        if (grey[i]) {
            EXPECT_EQ(style->second.color, 0x7D7D7Du);
        }
    }
    // Discovery sent one INQUIRY per drive, each traced.
    EXPECT_EQ(rig.diagnostics.Text().find("vdrive 0: 12 00 00 00 38 00"), 0u);
}

TEST(MainWindow, SelectingTheTargetShowsItsIdentificationAndSavesAScreenshot) {
    GuiRig rig;
    ASSERT_TRUE(rig.StartShown());
    QtDialogWindow& window = rig.Window();
    rig.SelectDrive(0);

    auto* log = static_cast<QPlainTextEdit*>(window.Control(ControlId::Log));
    EXPECT_EQ(log->toPlainText(), "ORIN    DVD RW QV-5500A ");
    EXPECT_EQ(window.LogText(), "ORIN    DVD RW QV-5500A ");
    EXPECT_TRUE(window.Control(ControlId::Upgrade)->isEnabled());
    EXPECT_EQ(rig.Dialog().SelectedIndex(), 0u);

    rig.Dialog().AppendLog("It will be updated from  1.0d  To  1.0e");
    EXPECT_EQ(log->toPlainText(),
              "ORIN    DVD RW QV-5500A \nIt will be updated from  1.0d  To  1.0e");

    QDir().mkpath(FLASHTOOL_SCREENSHOT_DIR);
    const QString path = QStringLiteral(FLASHTOOL_SCREENSHOT_DIR "/main-dialog.png");
    ASSERT_TRUE(window.grab().save(path, "PNG"));
    std::cout << "screenshot: " << path.toStdString() << "\n";
}

TEST(MainWindow, IsLaidOutFromTheTemplateInDialogUnitsOfItsFont) {
    GuiRig rig;
    QtDialogWindow& window = rig.Window();
    const DialogBaseUnits units = window.BaseUnits();
    EXPECT_EQ(window.size(), QSize(DluToPixelsX(310, units), DluToPixelsY(156, units)));
    std::cout << "font: " << QFontInfo(window.font()).family().toStdString() << " "
              << QFontInfo(window.font()).pointSize() << " pt, base units " << units.x << " x "
              << units.y << ", dialog " << window.width() << " x " << window.height() << " px\n";

    for (const ControlTemplate& control : kMainControls) {
        QWidget* widget = window.Control(control.id);
        const PixelRect pixels = ToPixels(control.rect, units);
        EXPECT_EQ(widget->geometry(), QRect(pixels.x, pixels.y, pixels.width, pixels.height));
        EXPECT_EQ(widget->property("controlId").toInt(), static_cast<int>(control.id));
        EXPECT_EQ(widget->objectName(), QString("control%1").arg(static_cast<int>(control.id)));
    }

    // Tab order: Exit, the tree, Upgrade, the log, and round again.
    std::vector<int> order;
    QWidget* widget = window.Control(ControlId::Exit);
    for (int i = 0; i < 5; ++i) {
        order.push_back(widget->property("controlId").toInt());
        do {
            widget = widget->nextInFocusChain();
        } while ((widget->focusPolicy() & Qt::TabFocus) == 0);
    }
    EXPECT_EQ(order, (std::vector<int>{2, 1002, 1009, 1014, 2}));
}

// A duplicator tower's 32 drives are all in the tree, each reached by scrolling.
TEST(MainWindow, ShowsEveryDriveEvenWhenTheyDoNotFitTheTree) {
    constexpr int kTower = 32;
    std::vector<std::shared_ptr<VirtualDrive>> drives;
    for (int i = 0; i < kTower; ++i) {
        drives.push_back(std::make_shared<VirtualDrive>());
    }
    GuiRig rig(drives);
    ASSERT_TRUE(rig.StartShown());
    CTreeCtrlEx* tree = rig.Window().Tree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    ASSERT_EQ(root->childCount(), kTower);
    EXPECT_GT(tree->verticalScrollBar()->maximum(), 0);
    for (int i = 0; i < kTower; ++i) {
        tree->scrollToItem(root->child(i));
        EXPECT_TRUE(tree->viewport()->rect().contains(tree->visualItemRect(root->child(i))))
            << "drive " << i;
    }
}

TEST(MainWindow, RunModalEndsAtOnceWhenTheNoticeIsDeclined) {
    GuiRig rig;
    rig.answers = {BoxAnswer::Cancel};
    EXPECT_EQ(rig.Window().RunModal(), kDialogCancel);
    EXPECT_FALSE(rig.Window().isVisible());
    ASSERT_EQ(rig.boxes.size(), 2u);
    EXPECT_EQ(rig.boxes[1].text, "User cancelled.");
    EXPECT_EQ(rig.diagnostics.Text(), "");  // no drive was touched
}

// The notice needs none of the window's controls, and they would only delay it.
TEST(MainWindow, TheNoticeComesBeforeAnyControlIsBuilt) {
    GuiRig rig;
    std::optional<qsizetype> widgetsAtNotice;
    rig.Window().SetMessageBoxProvider([&](const MessageBoxRequest& request) {
        if (request.question == QuestionKind::StartupNotice) {
            widgetsAtNotice = rig.Window().findChildren<QWidget*>().size();
        }
        return BoxAnswer::Ok;
    });
    ASSERT_TRUE(rig.StartShown());
    EXPECT_EQ(widgetsAtNotice, 0);
    // Once it is accepted, the window is whole.
    EXPECT_EQ(ButtonText(rig.Window(), ControlId::Exit), "&Close");
    EXPECT_EQ(rig.Window().Tree()->topLevelItem(0)->childCount(), 3);
}

TEST(MainWindow, RunModalShowsTheDialogUntilTheCancelCommand) {
    GuiRig rig;
    bool shownWhileRunning = false;
    QWidget* focused = nullptr;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.Dialog().Busy(); }, 20000));  // the scan
        shownWhileRunning = rig.Window().isVisible();
        focused = rig.Window().focusWidget();
        static_cast<QPushButton*>(rig.Window().Control(ControlId::Exit))->click();
    });
    EXPECT_EQ(rig.Window().RunModal(), kDialogCancel);
    EXPECT_TRUE(shownWhileRunning);
    // The first control in tab order starts with the focus.
    EXPECT_EQ(focused, rig.Window().Control(ControlId::Exit));
    EXPECT_FALSE(rig.Window().isVisible());
}

}  // namespace
}  // namespace flashtool::testing
