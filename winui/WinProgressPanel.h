#pragma once
#include "winui/WinDrawn.h"
#include "wizard/Look.h"
#include "wizard/ProgressFigures.h"

// The progress bar of the progress frame: a background band and a bar that
// grows from the left, each a two-colour gradient, with corners cut by the
// window's own region. The figures and their arithmetic are TProgressFigures'.
// A press on it moves the window.
class TWinProgressPanel : public TWinDrawn {
public:
    TWinProgressPanel(TWinFrame& frame, const TRect& logical);

    const TProgressFigures& Figures() const { return m_Figures; }
    // The engine's report: done, then total.
    void Report(int64_t done, int64_t total);
    void SetColours(TRgb top, TRgb bottom, TRgb backTop, TRgb backBottom);
    void SetRound(int roundX, int roundY);
    void ApplyDpi() override;

protected:
    void Paint(HDC dc, const RECT& client) override;
    void OnLeftDown() override;

private:
    void UpdateRegion();

    TProgressFigures m_Figures;
    TRgb m_clTop{0, 255, 0};
    TRgb m_clBottom{0, 128, 0};
    TRgb m_clBackTop{240, 240, 240};
    TRgb m_clBackBottom{160, 160, 160};
    int m_nRoundX = 4;
    int m_nRoundY = 4;
};
