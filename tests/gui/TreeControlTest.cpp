// CTreeCtrlEx: the style map, and what a paint puts on the screen (pixels of a grabbed
// image, with a fixed palette and an unsmoothed font so that colours are exact).

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/controls/CTreeCtrlEx.h"

namespace flashtool {
namespace {

const QColor kBase(255, 255, 255);
const QColor kText(0, 0, 0);
const QColor kHighlight(0, 0, 200);
const QColor kHighlightedText(255, 255, 0);
const QColor kGrey(125, 125, 125);
constexpr int kBlend = 40;

// A window with the tree and a line edit to take the focus away from it.
struct TreeRig {
    TreeRig() {
        auto* layout = new QVBoxLayout(&window);
        tree = new CTreeCtrlEx(&window);
        other = new QLineEdit(&window);
        layout->addWidget(tree);
        layout->addWidget(other);
        QPalette palette = tree->palette();
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Base, kBase);
            palette.setColor(group, QPalette::Text, kText);
            palette.setColor(group, QPalette::Highlight, kHighlight);
            palette.setColor(group, QPalette::HighlightedText, kHighlightedText);
        }
        tree->setPalette(palette);
        QFont font = tree->font();
        font.setStyleStrategy(QFont::NoAntialias);
        tree->setFont(font);
        tree->setHeaderHidden(true);
        window.resize(300, 200);
    }

    QTreeWidgetItem* Add(const QString& text) {
        auto* item = new QTreeWidgetItem(QStringList{text});
        tree->addTopLevelItem(item);
        return item;
    }

    // Shown and active, with the focus and the current item away from the tree.
    bool Show() {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) {
            return false;
        }
        other->setFocus();
        tree->setCurrentIndex(QModelIndex());
        return QTest::qWaitFor([this] { return other->hasFocus(); });
    }

    // How many pixels of the item's row have the colour (within a tolerance: the style
    // blends its highlight and the highlighted text; our own drawing is exact).
    int CountInRow(QTreeWidgetItem* item, const QColor& color, int tolerance = 0) {
        const QImage image = tree->viewport()->grab().toImage();
        const QRect row = tree->visualItemRect(item).intersected(image.rect());
        int count = 0;
        for (int y = row.top(); y <= row.bottom(); ++y) {
            for (int x = row.left(); x <= row.right(); ++x) {
                const QColor pixel(image.pixel(x, y));
                const bool near = std::abs(pixel.red() - color.red()) <= tolerance &&
                                  std::abs(pixel.green() - color.green()) <= tolerance &&
                                  std::abs(pixel.blue() - color.blue()) <= tolerance;
                count += near ? 1 : 0;
            }
        }
        return count;
    }

    QWidget window;
    CTreeCtrlEx* tree;
    QLineEdit* other;
};

TEST(CTreeCtrlEx, SetItemColorTwiceKeepsOneEntryWithTheLastColour) {
    CTreeCtrlEx tree;
    auto* item = new QTreeWidgetItem(QStringList{"drive"});
    tree.addTopLevelItem(item);
    tree.SetItemColor(item, 0x0000FF);
    tree.SetItemColor(item, 0x7D7D7D);
    ASSERT_EQ(tree.ItemStyles().size(), 1u);
    EXPECT_EQ(tree.ItemStyles().at(item).color, 0x7D7D7Du);
}

TEST(CTreeCtrlEx, DeletedItemsLeaveNoStyleBehindForANewItem) {
    CTreeCtrlEx tree;
    auto* first = new QTreeWidgetItem(QStringList{"a"});
    auto* second = new QTreeWidgetItem(QStringList{"b"});
    tree.addTopLevelItem(first);
    tree.addTopLevelItem(second);
    tree.SetItemColor(first, 0x7D7D7D);
    tree.SetItemColor(second, 0x7D7D7D);
    delete first;
    EXPECT_EQ(tree.ItemStyles().count(first), 0u);
    EXPECT_EQ(tree.ItemStyles().size(), 1u);
    tree.clear();
    EXPECT_TRUE(tree.ItemStyles().empty());
}

TEST(CTreeCtrlEx, DrawsAStyledItemInItsColourUnlessSelectedInTheFocusedControl) {
    TreeRig rig;
    QTreeWidgetItem* plain = rig.Add("KESTREL DVD-ROM KD-1650 0113");
    QTreeWidgetItem* grey = rig.Add("ORIN    DVD RW QV-5520A 2.1b");
    rig.tree->SetItemColor(grey, 0x7D7D7D);
    ASSERT_TRUE(rig.Show());

    // Not selected: grey text, none of the standard text colour.
    EXPECT_GT(rig.CountInRow(grey, kGrey), 0);
    EXPECT_EQ(rig.CountInRow(grey, kText), 0);
    EXPECT_GT(rig.CountInRow(plain, kText), 0);
    EXPECT_EQ(rig.CountInRow(plain, kGrey), 0);

    // Selected in the focused control: the standard highlight.
    rig.tree->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.tree->hasFocus(); }));
    rig.tree->setCurrentItem(grey);
    EXPECT_EQ(rig.CountInRow(grey, kGrey), 0);
    EXPECT_GT(rig.CountInRow(grey, kHighlight, kBlend), 0);
    EXPECT_GT(rig.CountInRow(grey, kHighlightedText, kBlend), 0);

    // Still selected, focus elsewhere: its own colour on the window colour over the
    // highlight.
    rig.other->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.tree->hasFocus(); }));
    EXPECT_GT(rig.CountInRow(grey, kGrey), 0);
    EXPECT_EQ(rig.CountInRow(grey, kHighlightedText, kBlend), 0);
}

TEST(CTreeCtrlEx, WindowTextColourFollowsThePaletteAndBoldItemsAreDrawnBold) {
    TreeRig rig;
    QTreeWidgetItem* normal = rig.Add("ORIN    DVD RW QV-5520A 2.1b");
    QTreeWidgetItem* bold = rig.Add("ORIN    DVD RW QV-5520A 2.1b");
    QTreeWidgetItem* windowText = rig.Add("ORIN    DVD RW QV-5520A 2.1b");
    QFont boldFont = rig.tree->font();
    boldFont.setBold(true);
    bold->setFont(0, boldFont);
    rig.tree->SetItemColor(normal, 0x7D7D7D);
    rig.tree->SetItemColor(bold, 0x7D7D7D);
    rig.tree->SetItemColor(windowText, kWindowTextColor);
    const QColor green(0, 128, 0);
    QPalette palette = rig.tree->palette();
    palette.setColor(QPalette::Text, green);
    rig.tree->setPalette(palette);
    ASSERT_TRUE(rig.Show());

    EXPECT_TRUE(CTreeCtrlEx::GetItemBold(bold));
    EXPECT_FALSE(CTreeCtrlEx::GetItemBold(normal));
    EXPECT_GT(rig.CountInRow(bold, kGrey), rig.CountInRow(normal, kGrey));
    EXPECT_GT(rig.CountInRow(windowText, green), 0);
}

TEST(CTreeCtrlEx, APaintVisitsOnlyTheItemsInViewAndStylesThePartlyVisibleLastOne) {
    TreeRig rig;
    std::vector<QTreeWidgetItem*> items;
    for (int i = 0; i < 500; ++i) {
        items.push_back(rig.Add(QString("drive %1").arg(i)));
        rig.tree->SetItemColor(items.back(), 0x7D7D7D);
    }
    ASSERT_TRUE(rig.Show());
    const int rowHeight = rig.tree->visualItemRect(items[0]).height();
    // Half a row more than whole rows.
    rig.tree->setFixedHeight(rig.tree->height() - rig.tree->viewport()->height() + rowHeight * 5 +
                             rowHeight / 2);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rig.tree->viewport()->height() == rowHeight * 5 + rowHeight / 2; }));
    rig.CountInRow(items[0], kGrey);  // paints
    EXPECT_EQ(rig.tree->ItemsVisitedOnLastPaint(), 6u);
    EXPECT_GT(rig.CountInRow(items[5], kGrey), 0);
    EXPECT_EQ(rig.CountInRow(items[5], kText), 0);
}

}  // namespace
}  // namespace flashtool
