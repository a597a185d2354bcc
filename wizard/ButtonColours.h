#pragma once
#include <optional>

#include "wizard/Look.h"

// What the wizard's flat button draws in one state: a filled face or an
// outline, in which colours, and the caption's colour.
struct TButtonFace {
    bool bFilled = false;
    TRgb clStart;    // face or outline colour (gradient start)
    TRgb clEnd;      // gradient end; equal to clStart for a flat face
    TRgb clFill;     // mix of the two: the outline's pen and a flat face
    TRgb clCaption;
};

// How a button is set up; the frames' buttons take the look constants.
struct TButtonStyle {
    TRgb clColor = look::rgbButtonColor;
    TRgb clColor2 = look::rgbButtonColor2;
    bool bClear = false;
    bool bSoftHighlight = false;
    bool bForceFontColor = false;
    // Empty stands for the system's window-text colour, which lets the caption
    // follow the surface behind an outline button.
    std::optional<TRgb> clFontColor;
};

struct TTextOrigin {
    int x = 0;
    int y = 0;
};

// The button's colour arithmetic, per channel, and where its caption goes.
class TButtonColours {
public:
    static TRgb Mix(TRgb a, TRgb b);
    static TRgb Shift(TRgb c, int n);
    static bool Dark(TRgb c, int threshold);

    // The look in a state; `surface` is the colour behind the button's centre.
    static TButtonFace Look(const TButtonStyle& style, bool mouseOver, bool pressed, TRgb surface);
    // Top-left corner of a caption `textWidth` x `textHeight` in a button of
    // `width` x `height`, moved a pixel right and down while pressed.
    static TTextOrigin CaptionOrigin(int width, int height, int textWidth, int textHeight, bool pressed);
};
