// The dialog templates of the Win32 window, read back word by word the way the system's
// dialog manager reads them: a misplaced word or a missing pad shifts every control after
// it, so each template is parsed whole and compared with the program's template.

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "app/win32/DialogPlans.h"
#include "app/win32/WideText.h"
#include "app/win32/WindowStyles.h"

namespace flashtool::win32 {
namespace {

// A reader of DLGTEMPLATE words, independent of the builder.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<uint16_t>& words) : words(words) {}

    uint16_t Word() { return words.at(at++); }
    uint32_t Dword() {
        const uint32_t low = Word();
        return low | (static_cast<uint32_t>(Word()) << 16);
    }
    int Short() { return static_cast<int16_t>(Word()); }
    DluRect Rect() {
        DluRect rect;
        rect.x = Short();
        rect.y = Short();
        rect.width = Short();
        rect.height = Short();
        return rect;
    }
    std::u16string Text() {
        std::u16string text;
        for (uint16_t unit = Word(); unit != 0; unit = Word()) {
            text.push_back(static_cast<char16_t>(unit));
        }
        return text;
    }
    // A class or a name: 0xFFFF then a number, or a string.
    std::variant<uint16_t, std::u16string> NumberOrText() {
        if (words.at(at) == 0xFFFF) {
            ++at;
            return Word();
        }
        return Text();
    }
    // Item templates start on a 4-byte boundary; the padding word must be zero.
    void AlignToDword() {
        if (at % 2 != 0) {
            EXPECT_EQ(Word(), 0) << "padding at word " << at - 1;
        }
    }
    size_t Position() const { return at; }

private:
    const std::vector<uint16_t>& words;
    size_t at = 0;
};

DialogPlan Read(const std::vector<uint16_t>& words) {
    TemplateReader reader(words);
    DialogPlan read;
    read.style = reader.Dword();
    read.exStyle = reader.Dword();
    const uint16_t count = reader.Word();
    read.rect = reader.Rect();
    EXPECT_EQ(reader.Word(), 0) << "menu";
    EXPECT_EQ(reader.Word(), 0) << "class";
    read.caption = reader.Text();
    read.fontPoints = reader.Word();
    read.fontFace = reader.Text();
    for (uint16_t i = 0; i < count; ++i) {
        reader.AlignToDword();
        DialogItemPlan item;
        item.style = reader.Dword();
        item.exStyle = reader.Dword();
        item.rect = reader.Rect();
        item.id = reader.Word();
        item.windowClass = reader.NumberOrText();
        const auto title = reader.NumberOrText();
        EXPECT_TRUE(std::holds_alternative<std::u16string>(title)) << "item " << i;
        if (const auto* text = std::get_if<std::u16string>(&title)) {
            item.text = *text;
        }
        EXPECT_EQ(reader.Word(), 0) << "creation data of item " << i;
        read.items.push_back(item);
    }
    reader.AlignToDword();
    EXPECT_EQ(reader.Position(), words.size()) << "words after the last item";
    return read;
}

TEST(DialogTemplate, TheMainDialogReadsBackAsTheProgramsTemplate) {
    const DialogPlan read = Read(BuildDialogTemplate(MainDialogPlan()));
    EXPECT_EQ(read.style & kDsSetFont, kDsSetFont);
    EXPECT_EQ(read.style & (kWsPopup | kWsCaption | kWsSysMenu | kWsMinimizeBox),
              kWsPopup | kWsCaption | kWsSysMenu | kWsMinimizeBox);
    EXPECT_EQ(read.rect, (DluRect{0, 0, kMainDialogWidth, kMainDialogHeight}));
    EXPECT_EQ(read.caption, u"Flash Tool (ver. A-7.6 beta5)");
    EXPECT_EQ(read.fontPoints, 9);
    EXPECT_EQ(read.fontFace, u"Arial");
    ASSERT_EQ(read.items.size(), kMainControls.size());
    // In the template's tab order, which the dialog manager's Tab key follows.
    for (size_t i = 0; i < kMainControls.size(); ++i) {
        const ControlTemplate& control = kMainControls[i];
        const DialogItemPlan& item = read.items[i];
        SCOPED_TRACE(static_cast<int>(control.id));
        EXPECT_EQ(item.id, static_cast<uint16_t>(control.id));
        EXPECT_EQ(item.rect, control.rect);
        EXPECT_EQ(item.text, WidenBytes(control.text));
        EXPECT_EQ((item.style & kWsTabStop) != 0, control.tabStop);
        EXPECT_EQ(item.style & (kWsChild | kWsVisible), kWsChild | kWsVisible);
    }
}

TEST(DialogTemplate, EachControlKindIsItsWin32ClassWithItsStyles) {
    const DialogPlan read = Read(BuildDialogTemplate(MainDialogPlan()));
    const auto item = [&](ControlId id) {
        for (const DialogItemPlan& found : read.items) {
            if (found.id == static_cast<uint16_t>(id)) {
                return found;
            }
        }
        ADD_FAILURE() << "no control " << static_cast<int>(id);
        return DialogItemPlan{};
    };
    using Class = std::variant<uint16_t, std::u16string>;
    EXPECT_EQ(item(ControlId::Exit).windowClass, Class(kButtonAtom));
    EXPECT_EQ(item(ControlId::Upgrade).windowClass, Class(kButtonAtom));
    EXPECT_EQ(item(ControlId::DevicesLabel).windowClass, Class(kStaticAtom));
    EXPECT_EQ(item(ControlId::Log).windowClass, Class(kEditAtom));
    EXPECT_EQ(item(ControlId::DriveTree).windowClass, Class(u"SysTreeView32"));
    EXPECT_EQ(item(ControlId::Progress).windowClass, Class(u"msctls_progress32"));

    // Neither button is the default one: Enter in the tree must not start an upgrade.
    EXPECT_EQ(item(ControlId::Upgrade).style & 0xF, kBsPushButton);
    EXPECT_EQ(item(ControlId::Exit).style & 0xF, kBsPushButton);
    const uint32_t tree = kTvsHasButtons | kTvsHasLines | kTvsLinesAtRoot | kTvsShowSelAlways;
    EXPECT_EQ(item(ControlId::DriveTree).style & tree, tree);
    // Without TVS_NOSCROLL (0x2000): a tower's drives scroll in the tree.
    EXPECT_EQ(item(ControlId::DriveTree).style & 0x2000u, 0u);
    const uint32_t log = kEsMultiline | kEsReadOnly | kWsVScroll;
    EXPECT_EQ(item(ControlId::Log).style & log, log);
}

TEST(DialogTemplate, TheAboutBoxHasTheQtAboutBoxsTextsInTheDialogFont) {
    const DialogPlan read =
        Read(BuildDialogTemplate(AboutBoxPlan("Model: X\nFirmware revision: 1.0e")));
    EXPECT_EQ(read.caption, u"About Halden Flash Tool");
    EXPECT_EQ(read.rect, (DluRect{0, 0, kAboutWidth, kAboutHeight}));
    EXPECT_EQ(read.fontPoints, 9);
    EXPECT_EQ(read.fontFace, u"Arial");
    ASSERT_EQ(read.items.size(), 5u);
    EXPECT_EQ(read.items[0].id, kAboutIconId);
    EXPECT_EQ(read.items[0].style & 0x1F, kSsIcon);
    EXPECT_EQ(read.items[0].rect, kAboutIconRect);
    EXPECT_EQ(read.items[1].text, u"Halden Flash Ver. A-7.6");
    EXPECT_EQ(read.items[1].rect, kAboutVersionRect);
    EXPECT_EQ(read.items[2].text, u"Firmware upgrade tool for optical drives.");
    EXPECT_EQ(read.items[2].rect, kAboutNoticeRect);
    // The build's lines, under the notice and inside the box.
    EXPECT_EQ(read.items[3].text, u"Model: X\nFirmware revision: 1.0e");
    EXPECT_EQ(read.items[3].rect, kAboutBuildRect);
    EXPECT_LE(kAboutBuildRect.y + kAboutBuildRect.height, kAboutHeight);
    EXPECT_GE(kAboutBuildRect.y, kAboutNoticeRect.y + kAboutNoticeRect.height);
    for (size_t i : {1u, 2u, 3u}) {
        // Shown as they stand: an '&' would otherwise vanish into an access key.
        EXPECT_EQ(read.items[i].style & kSsNoPrefix, kSsNoPrefix) << i;
    }
    EXPECT_EQ(read.items[4].id, kIdOk);
    EXPECT_EQ(read.items[4].text, u"OK");
    EXPECT_EQ(read.items[4].style & 0xF, kBsDefPushButton);
    EXPECT_EQ(read.items[4].rect, kAboutOkRect);
}

TEST(DialogTemplate, ItemsStartOnFourByteBoundariesWhateverTheTextLengths) {
    // Caption and item texts of every length modulo 2 and 4, and negative coordinates.
    for (const std::u16string caption : {u"", u"A", u"AB", u"ABC"}) {
        DialogPlan plan;
        plan.caption = caption;
        plan.fontPoints = 8;
        plan.fontFace = caption + u"F";
        plan.rect = {-5, -1, 40, 30};
        for (const std::u16string text : {u"", u"x", u"xy", u"xyz"}) {
            plan.items.push_back({kWsChild, 0, {-2, 3, 10, 10}, 7, kStaticAtom, text});
            plan.items.push_back({kWsChild, 0, {1, 2, 3, 4}, 8, caption + u"Class", text});
        }
        const DialogPlan read = Read(BuildDialogTemplate(plan));
        SCOPED_TRACE(caption.size());
        EXPECT_EQ(read.caption, caption);
        EXPECT_EQ(read.fontFace, caption + u"F");
        EXPECT_EQ(read.rect, plan.rect);
        ASSERT_EQ(read.items.size(), plan.items.size());
        for (size_t i = 0; i < plan.items.size(); ++i) {
            EXPECT_EQ(read.items[i].text, plan.items[i].text) << i;
            EXPECT_EQ(read.items[i].windowClass, plan.items[i].windowClass) << i;
            EXPECT_EQ(read.items[i].rect, plan.items[i].rect) << i;
        }
    }
}

TEST(WideText, EveryByteCrossesToUtf16AndBackUnchanged) {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<char>(value));
    }
    const std::u16string wide = WidenBytes(bytes);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(wide[0xE9], u'\u00E9');
    EXPECT_EQ(NarrowToBytes(wide), bytes);
    // A character no byte stands for is shown as '?', never truncated to its low byte.
    EXPECT_EQ(NarrowToBytes(u"a\u0141b"), "a?b");
}

}  // namespace
}  // namespace flashtool::win32
