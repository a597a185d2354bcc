#include "winui/WinGradientButton.h"

#include "winui/GdiPlus.h"

#include "platform/windows/WideString.h"
#include "winui/WinFrame.h"

namespace {

Gdiplus::Color GdiPlusColour(TRgb c) { return Gdiplus::Color(255, c.r, c.g, c.b); }

// A rectangle with corners cut by quarter ellipses of `radius`.
void AddRoundedRect(Gdiplus::GraphicsPath& path, Gdiplus::REAL x, Gdiplus::REAL y, Gdiplus::REAL w, Gdiplus::REAL h,
                    Gdiplus::REAL radius) {
    const Gdiplus::REAL d = radius * 2;
    path.AddArc(x, y, d, d, 180, 90);
    path.AddArc(x + w - d, y, d, d, 270, 90);
    path.AddArc(x + w - d, y + h - d, d, d, 0, 90);
    path.AddArc(x, y + h - d, d, d, 90, 90);
    path.CloseFigure();
}

}  // namespace

TWinGradientButton::TWinGradientButton(TWinFrame& frame, std::string name, const TRect& logical,
                                       const TButtonStyle& style, bool bold)
    : TWinDrawn(frame, std::move(name), logical, L"TGradientBitBtn"),
      m_Style(style),
      m_FontRequest{"Segoe UI Semibold", 12, bold, false} {
    ApplyDpi();
}

void TWinGradientButton::SetCaption(const std::string& utf8) {
    m_strCaption = Widen(utf8);
    SetWindowTextW(Handle(), m_strCaption.c_str());
    Repaint();
}

void TWinGradientButton::ApplyDpi() {
    m_Font = TGdiFont(TWinFonts::Create(m_FontRequest, Scale().nDpi));
    TWinDrawn::ApplyDpi();
}

TButtonFace TWinGradientButton::Face() const {
    const TRect& r = Logical();
    const TRgb surface = Frame().BackgroundPixel(r.x + r.w / 2, r.y + r.h / 2);
    return TButtonColours::Look(m_Style, MouseOver() || Pressed(), Pressed(), surface);
}

void TWinGradientButton::OnClick() {
    if (m_fnClick) m_fnClick();
}

void TWinGradientButton::Paint(HDC dc, const RECT& client) {
    const TButtonFace face = Face();
    if (face.bFilled) PaintFace(dc, client, face);
    else PaintOutline(dc, client, face);
    if (!m_strCaption.empty()) PaintCaption(dc, client, face);
}

void TWinGradientButton::PaintFace(HDC dc, const RECT& client, const TButtonFace& face) const {
    Gdiplus::Graphics graphics(dc);
    const auto w = static_cast<Gdiplus::REAL>(client.right), h = static_cast<Gdiplus::REAL>(client.bottom);
    if (face.clStart != face.clEnd) {
        Gdiplus::LinearGradientBrush brush(Gdiplus::PointF(0, 0), Gdiplus::PointF(0, h), GdiPlusColour(face.clStart),
                                           GdiPlusColour(face.clEnd));
        graphics.FillRectangle(&brush, 0.0f, 0.0f, w, h);
        return;
    }
    Gdiplus::SolidBrush brush(GdiPlusColour(face.clFill));
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::GraphicsPath path;
    AddRoundedRect(path, 0, 0, w, h, Scale()(nRadius) / 2.0f);
    graphics.FillPath(&brush, &path);
}

// The outline look: a thin rounded edge, and inside it a plain frame as thick
// as the spacing rule says.
void TWinGradientButton::PaintOutline(HDC dc, const RECT& client, const TButtonFace& face) const {
    Gdiplus::Graphics graphics(dc);
    const auto w = static_cast<Gdiplus::REAL>(client.right), h = static_cast<Gdiplus::REAL>(client.bottom);
    const Gdiplus::REAL unit = Scale().nDpi / 96.0f;
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::Pen edge(GdiPlusColour(face.clFill), unit);
    Gdiplus::GraphicsPath path;
    AddRoundedRect(path, unit / 2, unit / 2, w - unit, h - unit, Scale()(nRadius) / 2.0f);
    graphics.DrawPath(&edge, &path);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeNone);
    const Gdiplus::REAL thick = (nSpacing - 5) * unit;
    Gdiplus::Pen frame(GdiPlusColour(face.clFill), thick);
    graphics.DrawRectangle(&frame, unit + thick / 2, unit + thick / 2, w - 2 * unit - thick, h - 2 * unit - thick);
}

void TWinGradientButton::PaintCaption(HDC dc, const RECT& client, const TButtonFace& face) const {
    HGDIOBJ old = SelectObject(dc, m_Font.Handle());
    SIZE extent{};
    GetTextExtentPoint32W(dc, m_strCaption.c_str(), static_cast<int>(m_strCaption.size()), &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const TTextOrigin origin = TButtonColours::CaptionOrigin(client.right, client.bottom, extent.cx,
                                                             metrics.tmHeight, Pressed());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TWinText::Colour(face.clCaption));
    TextOutW(dc, origin.x, origin.y, m_strCaption.c_str(), static_cast<int>(m_strCaption.size()));
    SelectObject(dc, old);
}
