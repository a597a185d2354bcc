#pragma once
#include <QColor>
#include <QRegion>
#include <QWidget>
#include <cstdint>

// A horizontal progress bar: a background band and a bar growing from the left,
// each a two-colour gradient, optionally with rounded corners (a real clipping
// shape: the corners are not part of the control) and a one-pixel border.
//
// Values are 64-bit: the installer reports its progress in bytes, and a product
// of more than 2 GiB must not wrap the bar around. Window thread only.
class TProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit TProgressPanel(QWidget* parent = nullptr);

    int64_t Min() const { return m_nMin; }
    int64_t Max() const { return m_nMax; }
    int64_t Progress() const { return m_nProgress; }
    // Accepted only while it stays below Max.
    void SetMin(int64_t value);
    // Accepted only while it stays above Min. Progress is not clamped again.
    void SetMax(int64_t value);
    // Clamped into [Min, Max].
    void SetProgress(int64_t value);

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

    // Width of the bar in pixels: the ceiling of width / interval * current,
    // so any progress above Min shows at least one pixel.
    int FillWidth() const;
    // The control's clipping shape.
    const QRegion& Region() const { return m_hRegion; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Recalculate();
    void UpdateRegion();
    void FillGradient(QPainter& p, const QRect& area, const QColor& start, const QColor& end) const;

    int64_t m_nMin = 0;
    int64_t m_nMax = 100;
    int64_t m_nProgress = 0;
    int64_t m_nInterval = 100;
    int64_t m_nCurrent = 0;
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
