#pragma once
#include "winui/WinChild.h"

// A control the window draws itself, over the frame's own picture behind it
// (so its corners and gaps show the background), double-buffered. It tracks
// the mouse: over it, pressed on it, released on it (a click).
class TWinDrawn : public TWinChild {
public:
    TWinDrawn(TWinFrame& frame, std::string name, const TRect& logical, const wchar_t* className,
              const std::wstring& text = L"");

    bool MouseOver() const { return m_bMouseOver; }
    bool Pressed() const { return m_bPressed; }
    void Repaint() const;

protected:
    // The frame's background is already in `dc`; `client` is in device pixels.
    virtual void Paint(HDC dc, const RECT& client) = 0;
    virtual void OnMouseEnter() {}
    virtual void OnMouseLeave() {}
    virtual void OnLeftDown() {}
    virtual void OnClick() {}
    virtual HCURSOR Cursor() const { return LoadCursorW(nullptr, IDC_ARROW); }
    // Messages not handled here go to the default handling.
    virtual bool OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    template <class TOwner, LRESULT (TOwner::*)(UINT, WPARAM, LPARAM)>
    friend LRESULT CALLBACK OwnerWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintBuffered(HDC target);
    void MouseMoved();
    void LeftUp(LPARAM lParam);

    bool m_bMouseOver = false;
    bool m_bPressed = false;
};
