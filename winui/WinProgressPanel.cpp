#include "winui/WinProgressPanel.h"

#include "winui/WinFrame.h"
#include "winui/WinText.h"

namespace {

// The platform's two-colour gradient, top to bottom.
void FillGradient(HDC dc, const RECT& r, TRgb top, TRgb bottom) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    TRIVERTEX vertices[2] = {
        {r.left, r.top, static_cast<COLOR16>(top.r << 8), static_cast<COLOR16>(top.g << 8),
         static_cast<COLOR16>(top.b << 8), 0xFF00},
        {r.right, r.bottom, static_cast<COLOR16>(bottom.r << 8), static_cast<COLOR16>(bottom.g << 8),
         static_cast<COLOR16>(bottom.b << 8), 0xFF00},
    };
    GRADIENT_RECT rect{0, 1};
    GradientFill(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

}  // namespace

TWinProgressPanel::TWinProgressPanel(TWinFrame& frame, const TRect& logical)
    : TWinDrawn(frame, "pbProgressBar", logical, L"TProgressPanel") {
    UpdateRegion();
}

void TWinProgressPanel::Report(int64_t done, int64_t total) {
    m_Figures.Report(done, total);
    Repaint();
}

void TWinProgressPanel::SetColours(TRgb top, TRgb bottom, TRgb backTop, TRgb backBottom) {
    m_clTop = top;
    m_clBottom = bottom;
    m_clBackTop = backTop;
    m_clBackBottom = backBottom;
    Repaint();
}

void TWinProgressPanel::SetRound(int roundX, int roundY) {
    m_nRoundX = roundX;
    m_nRoundY = roundY;
    UpdateRegion();
}

void TWinProgressPanel::ApplyDpi() {
    TWinDrawn::ApplyDpi();
    UpdateRegion();
}

// The window region makes the rounded corners real: nothing is drawn there,
// and the frame's background shows through.
void TWinProgressPanel::UpdateRegion() {
    RECT client;
    GetClientRect(Handle(), &client);
    HRGN region = CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, Scale()(m_nRoundX),
                                     Scale()(m_nRoundY));
    SetWindowRgn(Handle(), region, TRUE);  // the window owns the region from here
}

void TWinProgressPanel::Paint(HDC dc, const RECT& client) {
    const int fill = m_Figures.FillWidth(client.right);
    if (fill != client.right) FillGradient(dc, client, m_clBackTop, m_clBackBottom);
    if (fill != 0) FillGradient(dc, {0, 0, fill, client.bottom}, m_clTop, m_clBottom);
}

void TWinProgressPanel::OnLeftDown() { Frame().StartWindowMove(); }
