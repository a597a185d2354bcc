#pragma once
#include <array>

// A control's place in its frame, in pixels at 96 dots per inch.
struct TRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    constexpr int Right() const { return x + w; }
    constexpr int Bottom() const { return y + h; }
    constexpr bool operator==(const TRect&) const = default;
};

// The layout rules the frames apply on every showing, for every window that
// draws them: the window measures its texts and pictures, these say where
// they go.
class TFrameLayout {
public:
    // The logo centred at the top, its middle at y 56; the lines picture at
    // the logo's left edge (not centred on its own width), its middle at the
    // logo's. Only the positions change.
    static void PlaceLogo(TRect& logo, TRect& lines, int frameWidth);

    // The licence sentence: four labels sized to their texts, read as one
    // sentence. On one centred line from `top`, or broken after the first label
    // into two centred lines when it is this wide or wider. Returns the bottom
    // of the last label.
    static constexpr int nTwoLineWidth = 500;
    static int PlaceSentence(const std::array<TRect*, 4>& labels, int top, int frameWidth);
};
