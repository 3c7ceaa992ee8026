#pragma once

#include <QRect>

namespace vellumin::ui {

// Horizontal and vertical dialog base units of the usual 8-point dialog font. Every pixel
// rectangle of the windows (and the home screen's hover ranges) assumes them.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

// a * b / c rounded half away from zero, as Windows' MulDiv rounds.
constexpr int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = (c < 0 ? -c : c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

constexpr int DialogUnitsToPixelsX(int du) { return MulDiv(du, kBaseUnitX, 4); }
constexpr int DialogUnitsToPixelsY(int du) { return MulDiv(du, kBaseUnitY, 8); }

// Position and size are converted separately, as the dialog manager does for a template.
inline QRect DialogRectToPixels(int x, int y, int cx, int cy) {
    return QRect(DialogUnitsToPixelsX(x), DialogUnitsToPixelsY(y), DialogUnitsToPixelsX(cx),
                 DialogUnitsToPixelsY(cy));
}

}  // namespace vellumin::ui
