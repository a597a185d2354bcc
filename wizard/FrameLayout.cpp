#include "wizard/FrameLayout.h"

void TFrameLayout::PlaceLogo(TRect& logo, TRect& lines, int frameWidth) {
    logo.x = (frameWidth - logo.w) / 2;
    logo.y = 56 - logo.h / 2;
    lines.x = (frameWidth - logo.w) / 2;
    lines.y = logo.y + logo.h / 2 - lines.h / 2;
}

int TFrameLayout::PlaceSentence(const std::array<TRect*, 4>& labels, int top, int frameWidth) {
    TRect& text = *labels[0];
    TRect& text2 = *labels[1];
    TRect& link = *labels[2];
    TRect& dot = *labels[3];
    const int total = text.w + text2.w + link.w + dot.w;
    const int half = frameWidth / 2;
    text.y = top;
    if (total >= nTwoLineWidth) {
        text.x = half - text.w / 2;
        text2.x = half - (text2.w + link.w + dot.w + 2) / 2;
        text2.y = top + text.h;
    } else {
        text.x = half - total / 2;
        text2.x = text.Right() + 1;
        text2.y = top;
    }
    link.x = text2.Right() + 1;
    link.y = text2.y;
    dot.x = link.Right() + 1;
    dot.y = text2.y;
    return dot.Bottom();
}
