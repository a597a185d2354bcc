#include "winui/WinNative.h"

#include <commctrl.h>

#include "diagnostics/ExceptionObject.h"
#include "platform/windows/WideString.h"

TWinNative::TWinNative(TWinFrame& frame, std::string name, const TRect& logical, const wchar_t* className, DWORD style,
                       const TFontRequest& font)
    : TWinChild(frame, std::move(name), logical), m_FontRequest(font) {
    Create(className, WS_VISIBLE | style);
    SetWindowSubclass(Handle(), &TWinNative::Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
    ApplyDpi();
}

TWinNative::~TWinNative() {
    RemoveWindowSubclass(Handle(), &TWinNative::Subclass, 1);
    if (m_hBackground) DeleteObject(m_hBackground);
}

std::string TWinNative::Text() const { return Narrow(TWinText::WindowText(Handle())); }

void TWinNative::SetText(const std::string& utf8) { SetWindowTextW(Handle(), TWinText::ScreenText(utf8).c_str()); }

void TWinNative::SetBackground(TRgb colour) {
    if (m_hBackground) DeleteObject(m_hBackground);
    m_hBackground = CreateSolidBrush(TWinText::Colour(colour));
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TWinNative::ApplyDpi() {
    m_Font = TGdiFont(TWinFonts::Create(m_FontRequest, Scale().nDpi));
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(m_Font.Handle()), TRUE);
    TWinChild::ApplyDpi();
}

LRESULT CALLBACK TWinNative::Subclass(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR self) {
    auto* control = reinterpret_cast<TWinNative*>(self);
    try {
        if (message == WM_KEYUP && control->m_fnKeyUp) control->m_fnKeyUp(wParam);
        if (message == WM_SETFOCUS && control->m_fnFocus) control->m_fnFocus();
    } catch (const std::exception& e) {
        TExceptionObject::ExceptionHandler(e);
    }
    return DefSubclassProc(hWnd, message, wParam, lParam);
}
