#pragma once

// The band layout of the gradient progress bar, kept apart from painting so it can be
// checked exactly. Colours are 0x00BBGGRR values (red in the low byte).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellumin::controls {

using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(int r, int g, int b) {
    return ColorRef(r & 0xFF) | (ColorRef(g & 0xFF) << 8) | (ColorRef(b & 0xFF) << 16);
}
constexpr int RedOf(ColorRef c) { return int(c & 0xFF); }
constexpr int GreenOf(ColorRef c) { return int((c >> 8) & 0xFF); }
constexpr int BlueOf(ColorRef c) { return int((c >> 16) & 0xFF); }

struct GradientBand {
    int from;  // first pixel along the bar
    int to;    // one past the last pixel
    ColorRef colour;
};

struct GradientLayout {
    int bandCount = 0;       // B: bands of the complete gradient
    std::vector<GradientBand> bands;  // the bands drawn, in order
    int backgroundFrom = -1;  // where the background colour starts, -1 when the bar is full
};

// Number of bands: the largest channel difference, at least 1 (equal colours draw one band
// of the start colour).
int GradientBandCount(ColorRef start, ColorRef end);

// Filled length n of a bar of `length` pixels: position / upper x length in single precision,
// truncated.
int GradientFilledLength(int position, int upper, int length);

// Bands for a filled length n: drawn until the first whose far edge passes n, then the
// background from that edge on. The last band always ends at `length`, so a full bar has no
// unpainted strip where single-precision steps fall short.
GradientLayout LayoutGradient(ColorRef start, ColorRef end, int length, int filled);

// The percentage text ("%3.02f %%"), or nothing when the bar is empty or past its range and
// so shows no text.
std::optional<std::string> GradientPercentText(int lower, int upper, int position);

// Whether the bar paints its gradient at all: lower < position <= upper.
constexpr bool GradientInRange(int lower, int upper, int position) {
    return position > lower && position <= upper;
}

}  // namespace vellumin::controls
