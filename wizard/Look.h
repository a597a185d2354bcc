#pragma once
#include <cstdint>

// A colour as the window's pictures and constants give it.
struct TRgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    constexpr bool operator==(const TRgb&) const = default;
};

// The colours and the size that give this edition's wizard its look, for
// every window that draws it.
namespace look {
inline constexpr TRgb rgbButtonColor{255, 199, 9};  // amber
inline constexpr TRgb rgbButtonColor2{255, 199, 9};
inline constexpr bool bButtonClear = true;            // outlines until the mouse is over them
inline constexpr bool bButtonForceFontColor = false;  // caption colour chosen by contrast
inline constexpr TRgb rgbTextColor{255, 255, 255};
inline constexpr TRgb rgbLinkColor{255, 199, 9};
inline constexpr TRgb rgbProgressColor{255, 199, 9};
inline constexpr TRgb rgbProgressBackColor{251, 246, 246};
inline constexpr bool bHasProgressLogo = false;

inline constexpr int nFrameWidth = 600;
inline constexpr int nFrameHeight = 250;
}  // namespace look
