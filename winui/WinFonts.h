#pragma once
#include <windows.h>

// A font as the wizard names it: face, character height in pixels at 96 dpi.
struct TFontRequest {
    const char* face = "Segoe UI";
    int nPixelHeight = 11;
    bool bBold = false;
    bool bUnderline = false;
};

// The window's fonts, by the faces the wizard names ("Segoe UI", "Segoe UI
// Semibold", "Tahoma") and their character height in pixels at 96 dots per
// inch. Where Windows lacks the face (Wine, older systems) the program's own
// stand-in takes its place: DejaVu Sans Condensed, the font the Qt window
// falls back to, so both windows measure their texts alike.
class TWinFonts {
public:
    // Makes the bundled stand-in fonts usable by this process; once.
    static void LoadStandIns();
    // A new font the caller owns (DeleteObject, or keep it in a TGdiFont).
    // `dpi` scales the height for the monitor the window is on.
    static HFONT Create(const TFontRequest& font, int dpi = 96);
    // The family a face resolves to here, and the weight that goes with it.
    static const wchar_t* Family(const char* face, int& weight);
    static bool Installed(const wchar_t* family);
};

// Owns one GDI font.
class TGdiFont {
public:
    TGdiFont() = default;
    explicit TGdiFont(HFONT font) : m_hFont(font) {}
    TGdiFont(const TGdiFont&) = delete;
    TGdiFont& operator=(const TGdiFont&) = delete;
    TGdiFont(TGdiFont&& other) noexcept : m_hFont(other.m_hFont) { other.m_hFont = nullptr; }
    TGdiFont& operator=(TGdiFont&& other) noexcept;
    ~TGdiFont();
    HFONT Handle() const { return m_hFont; }

private:
    HFONT m_hFont = nullptr;
};
