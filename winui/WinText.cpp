#include "winui/WinText.h"

#include "platform/windows/WideString.h"
#include "winui/WinFonts.h"

namespace {

// A screen-compatible context with a 96-dpi font selected, for measuring.
class TMeasureContext {
public:
    explicit TMeasureContext(const TFontRequest& font)
        : m_Font(TWinFonts::Create(font)),
          m_hDC(CreateCompatibleDC(nullptr)),
          m_hOld(SelectObject(m_hDC, m_Font.Handle())) {}
    ~TMeasureContext() {
        SelectObject(m_hDC, m_hOld);
        DeleteDC(m_hDC);
    }
    HDC Dc() const { return m_hDC; }

private:
    TGdiFont m_Font;
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

}  // namespace

std::wstring TWinText::ScreenText(const std::string& utf8) {
    std::wstring text = Widen(utf8);
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at)) text.erase(at, 1);
    return text;
}

std::wstring TWinText::WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

TTextSize TWinText::Measure(const TFontRequest& font, const std::wstring& text) {
    TMeasureContext context(font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(context.Dc(), &metrics);
    SIZE extent{};
    GetTextExtentPoint32W(context.Dc(), text.c_str(), static_cast<int>(text.size()), &extent);
    return {static_cast<int>(extent.cx), static_cast<int>(metrics.tmHeight)};
}

int TWinText::WrappedHeight(const TFontRequest& font, const std::wstring& text, int width) {
    TMeasureContext context(font);
    RECT r{0, 0, width, 0};
    DrawTextW(context.Dc(), text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_CENTER);
    return r.bottom;
}
