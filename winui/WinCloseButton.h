#pragma once
#include <functional>

#include "winui/WinDrawn.h"
#include "winui/WinPictures.h"

// The close picture at a frame's top-right corner: at rest, under the mouse,
// pressed; a click asks the window to close.
class TWinCloseButton : public TWinDrawn {
public:
    TWinCloseButton(TWinFrame& frame, const TWinPictures& pictures, std::function<void()> onClick);

    // The picture it shows now.
    const TPicture& Current() const;

protected:
    void Paint(HDC dc, const RECT& client) override;
    void OnClick() override;

private:
    TPicture m_pngRest;
    TPicture m_pngOver;
    TPicture m_pngPressed;
    std::function<void()> m_fnClick;
};
