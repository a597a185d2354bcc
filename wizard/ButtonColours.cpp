#include "wizard/ButtonColours.h"

#include <algorithm>
#include <cmath>

namespace {

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Halves go to the even neighbour, as the platform's rounding does.
int RoundHalfEven(double v) { return static_cast<int>(std::nearbyint(v)); }

constexpr TRgb kWhite{255, 255, 255};
constexpr TRgb kBlack{0, 0, 0};

}  // namespace

TRgb TButtonColours::Mix(TRgb a, TRgb b) {
    auto mix = [](int x, int y) { return Clamp(((x + y) * 50 + 50) / 100); };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

TRgb TButtonColours::Shift(TRgb c, int n) { return {Clamp(c.r + n), Clamp(c.g + n), Clamp(c.b + n)}; }

bool TButtonColours::Dark(TRgb c, int threshold) { return 76 * c.r + 150 * c.g + 30 * c.b < threshold * 256; }

TButtonFace TButtonColours::Look(const TButtonStyle& style, bool mouseOver, bool pressed, TRgb surface) {
    TButtonFace look;
    TRgb c1 = style.clColor, c2 = style.clColor2;
    const TRgb mixed = Mix(c1, c2);
    look.clCaption = Dark(mixed, 130) ? kWhite : Dark(mixed, 140) ? TRgb{45, 42, 51} : kBlack;
    if (pressed) {
        c1 = Shift(c1, -40);
        c2 = Shift(c2, -40);
    } else if (!style.bClear && mouseOver) {
        const bool bothWhite = c1 == kWhite && c2 == kWhite;
        const int n = bothWhite ? -30 : style.bSoftHighlight ? 5 : 20;
        c1 = Shift(c1, n);
        c2 = Shift(c2, n);
    }
    look.clStart = c1;
    look.clEnd = c2;
    look.clFill = Mix(c1, c2);
    look.bFilled = !style.bClear || mouseOver || pressed;
    if (!look.bFilled) look.clCaption = style.clFontColor ? *style.clFontColor : Dark(surface, 140) ? kWhite : kBlack;
    if (style.bForceFontColor && style.clFontColor)
        look.clCaption = mouseOver ? Shift(*style.clFontColor, 80) : *style.clFontColor;
    return look;
}

TTextOrigin TButtonColours::CaptionOrigin(int width, int height, int textWidth, int textHeight, bool pressed) {
    const int p = pressed ? 1 : 0;
    const int diff = height - textHeight;
    return {RoundHalfEven(width / 2.0 - textWidth / 2.0) + p, diff / 2 + (diff % 2 != 0 ? 1 : 0) + p};
}
