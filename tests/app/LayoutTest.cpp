// Dialog units to pixels, and the About command of the system menu.

#include <gtest/gtest.h>

#include "app/DialogUnits.h"

namespace flashtool {
namespace {

TEST(DialogUnits, BaseUnitsRoundTheAverageLetterWidth) {
    // 52 letters 343 pixels wide: 6.6 pixels on average, 7 rounded.
    EXPECT_EQ(BaseUnitsFromFont(343, 14), (DialogBaseUnits{7, 14}));
    EXPECT_EQ(BaseUnitsFromFont(311, 13), (DialogBaseUnits{6, 13}));
}

TEST(DialogUnits, RectanglesScaleEachFieldAndRoundHalvesUp) {
    const DialogBaseUnits units{7, 14};
    // 310 * 7 / 4 = 542.5, 156 * 14 / 8 = 273.
    EXPECT_EQ(DluToPixelsX(310, units), 543);
    EXPECT_EQ(DluToPixelsY(156, units), 273);
    EXPECT_EQ(ToPixels(DluRect{8, 13, 292, 41}, units), (PixelRect{14, 23, 511, 72}));
    EXPECT_EQ(ToPixels(DluRect{51, 136, 76, 14}, DialogBaseUnits{6, 13}),
              (PixelRect{77, 221, 114, 23}));
}

TEST(SystemMenu, TheAboutEntryIsRecognisedWithItsLowBitsMasked) {
    for (const uint32_t command : {16u, 17u, 0x1Fu}) {
        EXPECT_TRUE(IsAboutCommand(command)) << command;
    }
    for (const uint32_t command : {0u, 32u, 0xF060u}) {
        EXPECT_FALSE(IsAboutCommand(command)) << command;
    }
}

}  // namespace
}  // namespace flashtool
