#include "winui/WinCloseButton.h"

TWinCloseButton::TWinCloseButton(TWinFrame& frame, const TWinPictures& pictures, std::function<void()> onClick)
    : TWinDrawn(frame, "imgClose", {568, 2, 30, 30}, L"TCloseButton"),
      m_pngRest(pictures.pngClose),
      m_pngOver(pictures.pngCloseOver),
      m_pngPressed(pictures.pngCloseClick),
      m_fnClick(std::move(onClick)) {}

const TPicture& TWinCloseButton::Current() const {
    if (Pressed()) return m_pngPressed;
    return MouseOver() ? m_pngOver : m_pngRest;
}

void TWinCloseButton::Paint(HDC dc, const RECT&) {
    const TRect& r = Logical();
    TPictureDrawing::Draw(dc, *Current(), {0, 0, r.w, r.h}, Scale());
}

void TWinCloseButton::OnClick() {
    if (m_fnClick) m_fnClick();
}
