#pragma once
#include <QColor>

// The colours that give this edition's wizard its look.
namespace look {
inline const QColor clButtonColor(255, 199, 9);  // amber
inline const QColor clButtonColor2(255, 199, 9);
inline constexpr bool bButtonClear = true;           // outlines until the mouse is over them
inline constexpr bool bButtonForceFontColor = false;  // caption colour chosen by contrast
inline const QColor clTextColor(255, 255, 255);
inline const QColor clLinkColor(255, 199, 9);
inline const QColor clProgressColor(255, 199, 9);
inline const QColor clProgressBackColor(251, 246, 246);
inline constexpr bool bHasProgressLogo = false;

inline constexpr int nFrameWidth = 600;
inline constexpr int nFrameHeight = 250;
}  // namespace look
