#include "winui/WinLicenceSentence.h"

#include <array>

#include "wizard/FrameLayout.h"

TWinLicenceSentence::TWinLicenceSentence(TWinLabel* text, TWinLabel* text2, TWinLabel* link, TWinLabel* dot)
    : lblText(text), lblText2(text2), lblLink(link), lblDot(dot) {
    lblDot->SetText(".");
}

int TWinLicenceSentence::Layout(int top, int frameWidth) {
    const std::array<TWinLabel*, 4> labels = {lblText, lblText2, lblLink, lblDot};
    std::array<TRect, 4> places;
    for (size_t i = 0; i < labels.size(); ++i) {
        labels[i]->AutoSize();
        places[i] = labels[i]->Logical();
    }
    const int bottom = TFrameLayout::PlaceSentence({&places[0], &places[1], &places[2], &places[3]}, top, frameWidth);
    for (size_t i = 0; i < labels.size(); ++i) labels[i]->Move(places[i].x, places[i].y);
    return bottom;
}
