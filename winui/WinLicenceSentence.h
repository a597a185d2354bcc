#pragma once
#include "winui/WinLabel.h"

// The licence sentence of the install frames: four labels read as one
// sentence, the third a link to the licence page, placed by TFrameLayout.
class TWinLicenceSentence {
public:
    TWinLicenceSentence(TWinLabel* text, TWinLabel* text2, TWinLabel* link, TWinLabel* dot);

    // Sizes the labels to their texts and places them from `top`; returns the
    // bottom of the last label.
    int Layout(int top, int frameWidth);

    TWinLabel* lblText;
    TWinLabel* lblText2;
    TWinLabel* lblLink;
    TWinLabel* lblDot;
};
