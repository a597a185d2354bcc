#pragma once
#include <QColor>
#include <QRegion>
#include <QWidget>
#include <cstdint>

#include "wizard/ProgressFigures.h"

// A horizontal progress bar: a background band and a bar growing from the left,
// each a two-colour gradient, optionally with rounded corners (a real clipping
// shape: the corners are not part of the control) and a one-pixel border. Its
// figures and their arithmetic are TProgressFigures'. Window thread only.
class TProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit TProgressPanel(QWidget* parent = nullptr);

    int64_t Min() const { return m_Figures.Min(); }
    int64_t Max() const { return m_Figures.Max(); }
    int64_t Progress() const { return m_Figures.Progress(); }
    void SetMin(int64_t value);
    void SetMax(int64_t value);
    void SetProgress(int64_t value);
    // The engine's report of done and total.
    void Report(int64_t done, int64_t total);

    void SetColorTop(const QColor& c) { m_clTopColor = c; update(); }
    void SetColorBotton(const QColor& c) { m_clBottonColor = c; update(); }
    void SetBackColorTop(const QColor& c) { m_clTopBackground = c; update(); }
    void SetBackColorBotton(const QColor& c) { m_clBottonBackground = c; update(); }
    void SetBorderColor(const QColor& c) { m_clBorder = c; update(); }
    void SetBorder(bool on) { m_bHasBorder = on; update(); }
    void SetGradientVertical(bool on) { m_bGradientVertical = on; update(); }
    void SetRoundCorners(bool on);
    void SetRoundX(int x);
    void SetRoundY(int y);

    // Width of the bar in pixels.
    int FillWidth() const { return m_Figures.FillWidth(width()); }
    // The control's clipping shape.
    const QRegion& Region() const { return m_hRegion; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateRegion();
    void FillGradient(QPainter& p, const QRect& area, const QColor& start, const QColor& end) const;

    TProgressFigures m_Figures;
    int m_nRoundX = 4;
    int m_nRoundY = 4;
    QColor m_clBorder = Qt::black;
    QColor m_clTopBackground;
    QColor m_clBottonBackground;
    QColor m_clTopColor = QColor(0, 255, 0);
    QColor m_clBottonColor = QColor(0, 128, 0);
    bool m_bRound = false;
    bool m_bHasBorder = true;
    bool m_bGradientVertical = true;
    QRegion m_hRegion;
};
