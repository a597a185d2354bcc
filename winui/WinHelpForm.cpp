#include "winui/WinHelpForm.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/windows/WideString.h"
#include "winui/WinDialogGeometry.h"

namespace {

const wchar_t* const kClassName = L"THelpForm";
constexpr int nMemoId = 101;
// A fixed window with a single border and only the close box.
constexpr DWORD nStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD nExStyle = WS_EX_TOPMOST | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

std::wstring MemoText(const THelpText& help) {
    std::string text;
    for (size_t i = 0; i < help.lstLines.size(); ++i) text += (i ? "\r\n" : "") + help.lstLines[i];
    return Widen(text);
}

// Edit controls take tab stops in quarters of the font's average character
// width (the width Windows derives from the alphabet); the Qt window puts them
// every eight spaces.
struct TTabStop {
    int nPixels;
    int nQuarters;  // what EM_SETTABSTOPS takes
};

TTabStop EightSpaces(HWND memo, HFONT font) {
    static const wchar_t kAlphabet[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    HDC dc = GetDC(memo);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE alphabet{};
    SIZE space{};
    GetTextExtentPoint32W(dc, kAlphabet, 52, &alphabet);
    GetTextExtentPoint32W(dc, L" ", 1, &space);
    SelectObject(dc, old);
    ReleaseDC(memo, dc);
    const int average = (alphabet.cx / 26 + 1) / 2;
    return {8 * space.cx, average > 0 ? MulDiv(8 * space.cx, 4, average) : 32};
}

// WS_HSCROLL and WS_VSCROLL as far as `text` overflows the text box's
// formatting rectangle (measured without scroll bars).
DWORD ScrollBarsNeeded(HWND memo, HFONT font, const std::wstring& text) {
    RECT room{};
    SendMessageW(memo, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
    const int tabPixels = EightSpaces(memo, font).nPixels;
    HDC dc = GetDC(memo);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    int width = 0;
    int lines = 0;
    for (size_t start = 0; start <= text.size(); ++lines) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const DWORD extent =
            GetTabbedTextExtentW(dc, text.c_str() + start, static_cast<int>(end - start), 1, &tabPixels);
        width = std::max(width, static_cast<int>(LOWORD(extent)));
        start = end + 2;
    }
    SelectObject(dc, old);
    ReleaseDC(memo, dc);
    int roomWidth = room.right - room.left;
    int roomHeight = room.bottom - room.top;
    bool bHorizontal = width > roomWidth;
    const bool bVertical = lines * metrics.tmHeight > roomHeight - (bHorizontal ? GetSystemMetrics(SM_CYHSCROLL) : 0);
    if (bVertical) bHorizontal = width > roomWidth - GetSystemMetrics(SM_CXVSCROLL);
    return (bHorizontal ? WS_HSCROLL : 0) | (bVertical ? WS_VSCROLL : 0);
}

}  // namespace

TWinHelpForm::TWinHelpForm(const THelpText& help) : m_strText(MemoText(help)) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    CreateDialogWindow(kClassName, Widen(help.strTitle), nStyle, nExStyle, helpwindow::nClientWidth,
                       helpwindow::nClientHeight);
    if (HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1)))  // the program's own, where it has one
        SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    CreateMemo(0);
    m_hButton = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0,
                                m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
    if (!m_hButton) throw std::runtime_error("the help window's controls");
    SendMessageW(m_hWnd, DM_SETDEFID, IDOK, 0);
    Layout(WindowDpi(m_hWnd));
}

void TWinHelpForm::Layout(int dpi) {
    using namespace helpwindow;
    m_nDpi = dpi;
    m_font = TGdiFont(TWinFonts::Create({strFontName, nFontHeight}, dpi));
    for (HWND control : {m_hWnd, m_hButton})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Handle()), FALSE);
    PlaceMemo(dpi);
    const DWORD bars = ScrollBarsNeeded(m_hMemo, m_font.Handle(), m_strText);
    if (bars != (static_cast<DWORD>(GetWindowLongPtrW(m_hMemo, GWL_STYLE)) & (WS_HSCROLL | WS_VSCROLL))) {
        CreateMemo(bars);
        PlaceMemo(dpi);
    }
    // The button is centred on the window's outer width, frame included, as
    // the 96-dpi layout has it.
    const TDpiScale scale{dpi};
    RECT outer{0, 0, nClientWidth, nClientHeight};
    AdjustWindowRectExForDpi(&outer, nStyle, FALSE, nExStyle, 96);
    SetWindowPos(m_hButton, nullptr, scale(ButtonLeft(outer.right - outer.left)), scale(nButtonTop),
                 scale(nButtonWidth), scale(nButtonHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    SetClientSize(m_hWnd, nClientWidth, nClientHeight, dpi);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

// The text box has scroll bars only where the text needs them, as the Qt
// window's has; an edit control takes them at its creation only.
void TWinHelpForm::CreateMemo(DWORD bars) {
    if (m_hMemo) DestroyWindow(m_hMemo);
    m_hMemo = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", m_strText.c_str(),
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | bars, 0, 0,
        0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(nMemoId)), GetModuleHandleW(nullptr), nullptr);
    if (!m_hMemo) throw std::runtime_error("the help window's text box");
    // First in the tab order, before OK.
    SetWindowPos(m_hMemo, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinHelpForm::PlaceMemo(int dpi) {
    using namespace helpwindow;
    const TDpiScale scale{dpi};
    SendMessageW(m_hMemo, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Handle()), FALSE);
    const int tabStop = EightSpaces(m_hMemo, m_font.Handle()).nQuarters;
    SendMessageW(m_hMemo, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    SetWindowPos(m_hMemo, nullptr, scale(nMemoLeft), scale(nMemoTop), scale(nMemoWidth), scale(nMemoHeight),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinHelpForm::Show() {
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    const POINT place = CentredPlace(nullptr, window.right - window.left, window.bottom - window.top);
    SetWindowPos(m_hWnd, HWND_TOPMOST, place.x, place.y, 0, 0, SWP_NOSIZE);
    ShowWindow(m_hWnd, SW_SHOW);
    SetForegroundWindow(m_hWnd);
    SetFocus(m_hMemo);
    SendMessageW(m_hMemo, EM_SETSEL, 0, 0);
}

LRESULT TWinHelpForm::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(m_hWnd);
            return 0;
        case WM_CLOSE:
            DestroyWindow(m_hWnd);
            return 0;
        case WM_CTLCOLORSTATIC:
            // Read-only, yet a page of text: white as the Qt window shows it.
            if (reinterpret_cast<HWND>(lParam) == m_hMemo) {
                SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
                SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        default:
            break;
    }
    return TWinDialogWindow::Handle(message, wParam, lParam);
}

int RunWinHelpWindow(const THelpText& help) {
    TWinHelpForm form(help);
    form.Show();
    // A WM_QUIT ends the help as closing it does: it is the run's only window.
    (void)form.RunMessagesUntil([&form] { return form.Closed(); });
    return 0;
}
