#include "winui/WinLabel.h"

#include "winui/WinFrame.h"

TWinLabel::TWinLabel(TWinFrame& frame, std::string name, const TRect& logical, const TFontRequest& font, TRgb colour,
                     TLabelAlign align, bool wordWrap)
    : TWinDrawn(frame, std::move(name), logical, L"TWinLabel"),
      m_FontRequest(font),
      m_Colour(colour),
      m_Align(align),
      m_bWordWrap(wordWrap) {
    ApplyDpi();
}

void TWinLabel::SetText(const std::string& utf8) {
    m_strText = TWinText::ScreenText(utf8);
    SetWindowTextW(Handle(), m_strText.c_str());
    Repaint();
}

void TWinLabel::AutoSize() {
    const TTextSize size = TWinText::Measure(m_FontRequest, m_strText);
    SetLogical({Logical().x, Logical().y, size.w, size.h});
}

void TWinLabel::FitHeight(int minimum) {
    const int needed = TWinText::WrappedHeight(m_FontRequest, m_strText, Logical().w);
    SetLogical({Logical().x, Logical().y, Logical().w, std::max(minimum, needed)});
}

void TWinLabel::ApplyDpi() {
    m_Font = TGdiFont(TWinFonts::Create(m_FontRequest, Scale().nDpi));
    TWinDrawn::ApplyDpi();
}

void TWinLabel::Paint(HDC dc, const RECT& client) {
    HGDIOBJ old = SelectObject(dc, m_Font.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TWinText::Colour(m_Colour));
    UINT format = DT_NOPREFIX | DT_NOCLIP;
    format |= m_bWordWrap ? DT_WORDBREAK : DT_SINGLELINE;
    if (m_Align != TLabelAlign::Left) format |= DT_CENTER;
    RECT box = client;
    if (m_Align == TLabelAlign::Center) {
        RECT measured = client;
        DrawTextW(dc, m_strText.c_str(), static_cast<int>(m_strText.size()), &measured, format | DT_CALCRECT);
        OffsetRect(&box, 0, (client.bottom - measured.bottom) / 2);
    }
    DrawTextW(dc, m_strText.c_str(), static_cast<int>(m_strText.size()), &box, format);
    SelectObject(dc, old);
}

// A link reads as one while the mouse is on it: bold and underlined, sized
// anew to its text, as the Qt window's link does.
void TWinLabel::SetUnderline(bool on) {
    m_FontRequest.bBold = true;
    m_FontRequest.bUnderline = on;
    ApplyDpi();
    AutoSize();
}

void TWinLabel::OnMouseEnter() {
    if (m_bLink) SetUnderline(true);
}

void TWinLabel::OnMouseLeave() {
    if (m_bLink) SetUnderline(false);
}

void TWinLabel::OnLeftDown() {
    if (m_bDragsWindow) Frame().StartWindowMove();
}

void TWinLabel::OnClick() {
    if (m_fnClick) m_fnClick();
}

HCURSOR TWinLabel::Cursor() const { return LoadCursorW(nullptr, m_bLink ? IDC_HAND : IDC_ARROW); }
