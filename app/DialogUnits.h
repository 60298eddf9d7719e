#pragma once

// Dialog units to pixels, the way a dialog template is laid out: the horizontal base unit
// is the dialog font's average character width, the vertical one its height; a dialog unit
// is a quarter of the first and an eighth of the second.

#include "app/DialogTemplate.h"

namespace flashtool {

struct DialogBaseUnits {
    int x = 0;  // average character width in pixels
    int y = 0;  // character height in pixels
    friend bool operator==(const DialogBaseUnits&, const DialogBaseUnits&) = default;
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The alphabet whose width gives the average character width.
inline constexpr char kAverageWidthSample[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// From the width of the 52 letters above and the font's height, both in pixels: the
// average width is the letters' width over 52, rounded to the nearest pixel.
constexpr DialogBaseUnits BaseUnitsFromFont(int alphabetWidth, int height) {
    return {(alphabetWidth / 26 + 1) / 2, height};
}

// value * numerator / denominator, rounded to the nearest integer, halves away from zero.
constexpr int MulDivRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    const long long rounded =
        product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int>(rounded);
}

constexpr int DluToPixelsX(int dlu, const DialogBaseUnits& base) {
    return MulDivRounded(dlu, base.x, 4);
}
constexpr int DluToPixelsY(int dlu, const DialogBaseUnits& base) {
    return MulDivRounded(dlu, base.y, 8);
}

constexpr PixelRect ToPixels(const DluRect& rect, const DialogBaseUnits& base) {
    return {DluToPixelsX(rect.x, base), DluToPixelsY(rect.y, base), DluToPixelsX(rect.width, base),
            DluToPixelsY(rect.height, base)};
}

}  // namespace flashtool
