#include "winui/WinDrawn.h"

#include <windowsx.h>

#include "winui/WindowClass.h"
#include "winui/WindowProcedure.h"
#include "winui/WinFrame.h"

TWinDrawn::TWinDrawn(TWinFrame& frame, std::string name, const TRect& logical, const wchar_t* className,
                     const std::wstring& text)
    : TWinChild(frame, std::move(name), logical) {
    RegisterWindowClassOnce(className, &OwnerWindowProc<TWinDrawn, &TWinDrawn::OnMessage>, nullptr);
    Create(className, WS_VISIBLE, 0, text.c_str());
}

void TWinDrawn::Repaint() const { InvalidateRect(Handle(), nullptr, FALSE); }

LRESULT TWinDrawn::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            PaintBuffered(dc);
            EndPaint(Handle(), &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintBuffered(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SETCURSOR:
            SetCursor(Cursor());
            return TRUE;
        case WM_MOUSEMOVE:
            MouseMoved();
            return 0;
        case WM_MOUSELEAVE:
            m_bMouseOver = false;
            OnMouseLeave();
            Repaint();
            return 0;
        case WM_LBUTTONDOWN:
            m_bPressed = true;
            SetCapture(Handle());
            Repaint();
            OnLeftDown();
            return 0;
        case WM_LBUTTONUP:
            LeftUp(lParam);
            return 0;
        case WM_CAPTURECHANGED:
            if (m_bPressed) {
                m_bPressed = false;
                Repaint();
            }
            return 0;
        default: {
            LRESULT result = 0;
            if (OnOtherMessage(message, wParam, lParam, result)) return result;
            return DefWindowProcW(Handle(), message, wParam, lParam);
        }
    }
}

bool TWinDrawn::OnOtherMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void TWinDrawn::MouseMoved() {
    if (m_bMouseOver) return;
    m_bMouseOver = true;
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
    TrackMouseEvent(&track);
    OnMouseEnter();
    Repaint();
}

void TWinDrawn::LeftUp(LPARAM lParam) {
    if (!m_bPressed) return;
    m_bPressed = false;
    if (GetCapture() == Handle()) ReleaseCapture();
    RECT client;
    GetClientRect(Handle(), &client);
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    Repaint();
    if (PtInRect(&client, at)) OnClick();
}

void TWinDrawn::PaintBuffered(HDC target) {
    RECT client;
    GetClientRect(Handle(), &client);
    const int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0) return;
    HDC buffer = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, w, h);
    HGDIOBJ old = SelectObject(buffer, bitmap);
    const RECT r = Scale().Device(Logical());
    Frame().PaintBackdrop(buffer, r.left, r.top, w, h);
    Paint(buffer, client);
    BitBlt(target, 0, 0, w, h, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, old);
    DeleteObject(bitmap);
    DeleteDC(buffer);
}
