#include "winui/WinFrame.h"

#include <algorithm>
#include <stdexcept>

#include "platform/windows/WideString.h"
#include "winui/WindowClass.h"
#include "winui/WindowProcedure.h"
#include "winui/WinCloseButton.h"
#include "winui/WinGradientButton.h"
#include "winui/WinNative.h"
#include "wizard/Look.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardTexts.h"
#include "wizard/WizardWindow.h"

namespace {

const wchar_t* const kFrameClass = L"TWizardFrame";

std::wstring FrameName(int index) {
    const TWizardFrame* row = TWizardFrames::Find(index);
    return row ? Widen(row->name) : std::wstring(L"frame");
}

}  // namespace

TWinFrame::TWinFrame(IWinFrameHost& host, int index)
    : m_Host(host), m_nIndex(index), m_hEditBackground(CreateSolidBrush(RGB(255, 255, 255))) {
    RegisterWindowClassOnce(kFrameClass, &OwnerWindowProc<TWinFrame, &TWinFrame::OnMessage>,
                            LoadCursorW(nullptr, IDC_ARROW));
    const RECT r = Scale().Device({0, 0, look::nFrameWidth, look::nFrameHeight});
    m_hWnd = CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, FrameName(index).c_str(),
                             WS_CHILD | WS_CLIPCHILDREN, 0, 0, r.right, r.bottom, host.Handle(), nullptr,
                             GetModuleHandleW(nullptr), this);
    if (!m_hWnd) throw std::runtime_error("cannot create a frame: " + WindowsErrorText(GetLastError()));
    m_imgClose = Add<TWinCloseButton>(host.Pictures(), [this] { m_Host.RequestClose(); });
}

TWinFrame::~TWinFrame() {
    m_lstChildren.clear();
    if (m_hWnd) DestroyWindow(m_hWnd);
    if (m_hBackdrop) DeleteObject(m_hBackdrop);
    DeleteObject(m_hEditBackground);
}

void TWinFrame::Show(bool visible) { ShowWindow(m_hWnd, visible ? SW_SHOWNA : SW_HIDE); }

bool TWinFrame::Visible() const { return GetWindowLongW(m_hWnd, GWL_STYLE) & WS_VISIBLE; }

std::vector<std::pair<std::string, TRect>> TWinFrame::Layout() const {
    std::vector<std::pair<std::string, TRect>> layout;
    for (const auto& picture : m_lstPictures)
        if (picture->bVisible) layout.emplace_back(picture->strName, picture->rect);
    for (const auto& child : m_lstChildren)
        if (child->Visible()) layout.emplace_back(child->Name(), child->Logical());
    return layout;
}

void TWinFrame::Go(TWizardButton button, const std::string& text) { Logic().Go(button, text); }

void TWinFrame::Remove(const TWinChild* control) {
    std::erase_if(m_lstChildren, [control](const auto& child) { return child.get() == control; });
}

TWinLabel* TWinFrame::NewLabel(std::string name, const TFontRequest& font, const TRect& rect, TLabelAlign align,
                               bool wordWrap, bool dragsWindow) {
    TWinLabel* label = Add<TWinLabel>(std::move(name), rect, font, look::rgbTextColor, align, wordWrap);
    label->SetDragsWindow(dragsWindow);
    return label;
}

TWinLabel* TWinFrame::NewLink(std::string name, const TFontRequest& font, int x, int y, TRgb colour) {
    TWinLabel* link = Add<TWinLabel>(std::move(name), TRect{x, y, 0, 0}, font, colour);
    link->SetLink(true);
    return link;
}

TWinGradientButton* TWinFrame::NewButton(std::string name, const TRect& rect, bool bold) {
    TButtonStyle style;
    if (bold) {
        style.bClear = look::bButtonClear;
        style.bForceFontColor = look::bButtonForceFontColor;
    }
    return Add<TWinGradientButton>(std::move(name), rect, style, bold);
}

TPictureItem* TWinFrame::NewPicture(std::string name, const TPicture& picture, const TRect& rect) {
    TRect place = rect;
    if (place.w == 0 && place.h == 0) {
        const TRect size = TPictureDrawing::Size(*picture);
        place.w = size.w;
        place.h = size.h;
    }
    m_lstPictures.push_back(std::make_unique<TPictureItem>(TPictureItem{std::move(name), picture, place}));
    InvalidateBackdrop();
    return m_lstPictures.back().get();
}

TWinLabel* TWinFrame::NewConfigInternetLink(TFrameTextKey key) {
    TWinLabel* link = NewLink("lblConfigInternet", {"Segoe UI Semibold", 12, true}, 20, 218, look::rgbTextColor);
    link->SetText(FrameText(key, TWizardTexts::nBuildLanguage));
    link->AutoSize();
    link->SetOnClick([this] { m_Host.ConfigInternet(); });
    return link;
}

TWinNative* TWinFrame::NewEdit(std::string name, const TRect& rect, DWORD style) {
    return Add<TWinNative>(std::move(name), rect, L"EDIT", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | style,
                           TFontRequest{"Segoe UI", 11});
}

bool TWinFrame::ShouldSet(TFrameTextKey key) { return TWizardTexts::WrittenOnShowing(key, GetLanguage()); }

std::string TWinFrame::Text(TFrameTextKey key) { return FrameText(key, GetLanguage()); }

void TWinFrame::ApplyText(TWinLabel* label, TFrameTextKey key) {
    if (ShouldSet(key)) label->SetText(Text(key));
}

void TWinFrame::ApplyText(TWinGradientButton* button, TFrameTextKey key) {
    if (ShouldSet(key)) button->SetCaption(Text(key));
}

void TWinFrame::LayoutLogo(TPictureItem& logo, TPictureItem& lines) {
    TFrameLayout::PlaceLogo(logo.rect, lines.rect, look::nFrameWidth);
    InvalidateBackdrop();
}

void TWinFrame::InvalidateBackdrop() {
    m_bBackdropStale = true;
    if (!m_hWnd) return;
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

TRgb TWinFrame::BackgroundPixel(int x, int y) const {
    return TPictureDrawing::Pixel(*m_Host.Pictures().pngBackground, x, y, {240, 240, 240});
}

void TWinFrame::ApplyDpi() {
    const RECT r = Scale().Device({0, 0, look::nFrameWidth, look::nFrameHeight});
    SetWindowPos(m_hWnd, nullptr, 0, 0, r.right, r.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    for (const auto& child : m_lstChildren) child->ApplyDpi();
    InvalidateBackdrop();
}

// The surface is drawn once per layout into a bitmap that the frame and every
// control over it copy from, so the pictures are scaled once, not per repaint.
void TWinFrame::RebuildBackdrop() {
    const RECT size = Scale().Device({0, 0, look::nFrameWidth, look::nFrameHeight});
    HDC screen = GetDC(m_hWnd);
    HDC dc = CreateCompatibleDC(screen);
    if (m_hBackdrop) DeleteObject(m_hBackdrop);
    m_hBackdrop = CreateCompatibleBitmap(screen, size.right, size.bottom);
    HGDIOBJ old = SelectObject(dc, m_hBackdrop);
    HBRUSH window = GetSysColorBrush(COLOR_WINDOW);
    FillRect(dc, &size, window);
    TPictureDrawing::Draw(dc, *m_Host.Pictures().pngBackground, {0, 0, look::nFrameWidth, look::nFrameHeight},
                          Scale());
    for (const auto& picture : m_lstPictures)
        if (picture->bVisible) TPictureDrawing::Draw(dc, *picture->picture, picture->rect, Scale());
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(m_hWnd, screen);
    m_bBackdropStale = false;
}

void TWinFrame::PaintBackdrop(HDC dc, int x, int y, int w, int h) {
    if (m_bBackdropStale || !m_hBackdrop) RebuildBackdrop();
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, m_hBackdrop);
    BitBlt(dc, 0, 0, w, h, source, x, y, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

TWinNative* TWinFrame::NativeControl(HWND control) const {
    for (const auto& child : m_lstChildren)
        if (child->Handle() == control) return dynamic_cast<TWinNative*>(child.get());
    return nullptr;
}

HBRUSH TWinFrame::ControlBackground(HWND control) const {
    const TWinNative* native = NativeControl(control);
    return native && native->Background() ? native->Background() : m_hEditBackground;
}

LRESULT TWinFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            PAINTSTRUCT ps{};
            HDC dc = message == WM_PAINT ? BeginPaint(m_hWnd, &ps) : reinterpret_cast<HDC>(wParam);
            RECT client;
            GetClientRect(m_hWnd, &client);
            PaintBackdrop(dc, 0, 0, client.right, client.bottom);
            if (message == WM_PAINT) EndPaint(m_hWnd, &ps);
            return 0;
        }
        case WM_LBUTTONDOWN:
            StartWindowMove();
            return 0;
        case WM_COMMAND:
            if (const TWinNative* native = NativeControl(reinterpret_cast<HWND>(lParam)))
                native->Command(HIWORD(wParam));
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(ControlBackground(reinterpret_cast<HWND>(lParam)));
        default:
            return DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
}
