#pragma once
#include <windows.h>

#include <string>

#include "wizard/Look.h"

// A font as the wizard names it: face, character height in pixels at 96 dpi.
struct TFontSpec {
    const char* face = "Segoe UI";
    int nPixelHeight = 11;
    bool bBold = false;
    bool bUnderline = false;
};

struct TTextSize {
    int w = 0;
    int h = 0;
};

// Texts measured in the window's 96-dpi geometry, so that the layout rules
// place them the same on every monitor.
class TWinText {
public:
    // Wide text for the screen: line ends as the controls expect them.
    static std::wstring ScreenText(const std::string& utf8);
    // One line: its advance width and the font's height.
    static TTextSize Measure(const TFontSpec& font, const std::wstring& text);
    // The height of `text` broken into lines of at most `width`.
    static int WrappedHeight(const TFontSpec& font, const std::wstring& text, int width);
    static COLORREF Colour(TRgb rgb) { return RGB(rgb.r, rgb.g, rgb.b); }
};
