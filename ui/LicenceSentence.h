#pragma once
#include <QLabel>

#include "ui/LinkLabel.h"
#include "wizard/FrameLayout.h"

// The licence sentence of the install frames: four labels read as one sentence
// ("... agree ", "to our ", "license agreement", "."), the third a link that
// opens the licence page. Laid out from the measured widths of its labels: on
// one centred line, or broken after the first label into two centred lines when
// it is too wide.
class TLicenceSentence {
public:
    explicit TLicenceSentence(QWidget* frame);

    QLabel* lblText;
    QLabel* lblText2;
    TLinkLabel* lblLink;
    QLabel* lblDot;

    // Sizes the labels to their texts and places them from `top`, centred in
    // `frameWidth`; returns the bottom of the last label.
    int Layout(int top, int frameWidth);

    static constexpr int nTwoLineWidth = TFrameLayout::nTwoLineWidth;
};
