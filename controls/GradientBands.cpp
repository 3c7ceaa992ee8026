#include "controls/GradientBands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vellumin::controls {

int GradientBandCount(ColorRef start, ColorRef end) {
    const int dr = std::abs(RedOf(end) - RedOf(start));
    const int dg = std::abs(GreenOf(end) - GreenOf(start));
    const int db = std::abs(BlueOf(end) - BlueOf(start));
    return std::max({dr, dg, db, 1});
}

int GradientFilledLength(int position, int upper, int length) {
    if (upper == 0) {
        return 0;
    }
    return int(float(position) / float(upper) * float(length));
}

GradientLayout LayoutGradient(ColorRef start, ColorRef end, int length, int filled) {
    GradientLayout layout;
    const int bands = GradientBandCount(start, end);
    layout.bandCount = bands;
    const float b = float(length) / float(bands);
    const float sr = float(RedOf(end) - RedOf(start)) / float(bands);
    const float sg = float(GreenOf(end) - GreenOf(start)) / float(bands);
    const float sb = float(BlueOf(end) - BlueOf(start)) / float(bands);
    for (int i = 0; i < bands; ++i) {
        const int from = int(float(i) * b);
        const int to = i == bands - 1 ? length : int(float(i + 1) * b);
        const int r = int(float(RedOf(start)) + float(i) * sr);
        const int g = int(float(GreenOf(start)) + float(i) * sg);
        const int bl = int(float(BlueOf(start)) + float(i) * sb);
        layout.bands.push_back({from, to, Rgb(r, g, bl)});
        if (to > filled) {
            layout.backgroundFrom = to;
            break;
        }
    }
    return layout;
}

std::optional<std::string> GradientPercentText(int lower, int upper, int position) {
    if (!GradientInRange(lower, upper, position)) {
        return std::nullopt;
    }
    const float p = 100.0f * float(position - lower) / float(upper - lower);
    char text[32];
    std::snprintf(text, sizeof text, "%3.02f %%", double(p));
    return std::string(text);
}

}  // namespace vellumin::controls
