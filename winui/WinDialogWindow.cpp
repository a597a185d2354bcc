#include "winui/WinDialogWindow.h"

#include <stdexcept>

#include "winui/WinFonts.h"
#include "winui/WindowClass.h"

TWinDialogWindow::~TWinDialogWindow() {
    if (m_hWnd) DestroyWindow(m_hWnd);
}

void TWinDialogWindow::CreateDialogWindow(const wchar_t* className, const std::wstring& caption, DWORD style,
                                          DWORD exStyle, int width, int height) {
    TWinFonts::LoadStandIns();
    RegisterWindowClassOnce(className, WindowProc, LoadCursorW(nullptr, IDC_ARROW),
                            reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), nullptr, DLGWINDOWEXTRA);
    m_hWnd = CreateWindowExW(exStyle, className, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, width, height,
                             nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!m_hWnd) throw std::runtime_error("a dialog window");
}

std::optional<int> TWinDialogWindow::RunMessagesUntil(const std::function<bool()>& done) {
    MSG message{};
    while (!done()) {
        if (GetMessageW(&message, nullptr, 0, 0) <= 0) return static_cast<int>(message.wParam);
        if (!IsDialogMessageW(m_hWnd, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return std::nullopt;
}

LRESULT CALLBACK TWinDialogWindow::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TWinDialogWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    // Until CreateWindowEx returns, the object does not know its window yet.
    auto* self = reinterpret_cast<TWinDialogWindow*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    if (self && self->m_hWnd == hWnd) return self->HandleCommon(message, wParam, lParam);
    return DefDlgProcW(hWnd, message, wParam, lParam);
}

LRESULT TWinDialogWindow::HandleCommon(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DPICHANGED: {
            // Dragged onto a monitor of another resolution.
            Layout(HIWORD(wParam));
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
            return 0;
        }
        case WM_NCDESTROY: {
            const LRESULT result = DefDlgProcW(m_hWnd, message, wParam, lParam);
            m_hWnd = nullptr;
            return result;
        }
        default:
            return Handle(message, wParam, lParam);
    }
}

LRESULT TWinDialogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcW(m_hWnd, message, wParam, lParam);
}
