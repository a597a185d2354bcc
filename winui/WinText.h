#pragma once
#include <windows.h>

#include <string>

#include "winui/WinFonts.h"
#include "wizard/Look.h"

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
    // What a window or control holds as its text.
    static std::wstring WindowText(HWND window);
    // One line: its advance width and the font's height.
    static TTextSize Measure(const TFontRequest& font, const std::wstring& text);
    // The height of `text` broken into lines of at most `width`.
    static int WrappedHeight(const TFontRequest& font, const std::wstring& text, int width);
    static COLORREF Colour(TRgb rgb) { return RGB(rgb.r, rgb.g, rgb.b); }
};
