#include "winui/WinChild.h"

#include <stdexcept>

#include "platform/windows/WideString.h"
#include "winui/WinFrame.h"

TWinChild::TWinChild(TWinFrame& frame, std::string name, const TRect& logical)
    : m_Frame(frame), m_strName(std::move(name)), m_Logical(logical) {}

TWinChild::~TWinChild() {
    if (m_hWnd) DestroyWindow(m_hWnd);
}

void TWinChild::Create(const wchar_t* className, DWORD style, DWORD exStyle, const wchar_t* text) {
    const RECT r = Scale().Device(m_Logical);
    m_hWnd = CreateWindowExW(exStyle, className, text, WS_CHILD | style, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, m_Frame.Handle(), nullptr, GetModuleHandleW(nullptr), this);
    if (!m_hWnd) throw std::runtime_error("cannot create the control " + m_strName + ": " + WindowsErrorText(GetLastError()));
}

const TDpiScale& TWinChild::Scale() const { return m_Frame.Scale(); }

void TWinChild::SetLogical(const TRect& logical) {
    m_Logical = logical;
    ApplyDpi();
}

void TWinChild::ApplyDpi() {
    if (!m_hWnd) return;
    const RECT r = Scale().Device(m_Logical);
    SetWindowPos(m_hWnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void TWinChild::Show(bool visible) {
    if (m_hWnd) ShowWindow(m_hWnd, visible ? SW_SHOWNA : SW_HIDE);
}

bool TWinChild::Visible() const { return m_hWnd && (GetWindowLongW(m_hWnd, GWL_STYLE) & WS_VISIBLE); }
