#include "ui/ProgressPanel.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

TProgressPanel::TProgressPanel(QWidget* parent) : QWidget(parent) {
    m_clTopBackground = palette().color(QPalette::Button);
    m_clBottonBackground = palette().color(QPalette::Dark);
    resize(width(), 6);
    m_nRoundX = m_nRoundY = height() - 2;
    UpdateRegion();
}

void TProgressPanel::SetMin(int64_t value) {
    m_Figures.SetMin(value);
    update();
}

void TProgressPanel::SetMax(int64_t value) {
    m_Figures.SetMax(value);
    update();
}

void TProgressPanel::SetProgress(int64_t value) {
    m_Figures.SetProgress(value);
    update();
}

void TProgressPanel::Report(int64_t done, int64_t total) {
    m_Figures.Report(done, total);
    update();
}

void TProgressPanel::SetRoundCorners(bool on) {
    m_bRound = on;
    UpdateRegion();
}

void TProgressPanel::SetRoundX(int x) {
    m_nRoundX = x;
    UpdateRegion();
}

void TProgressPanel::SetRoundY(int y) {
    m_nRoundY = y;
    UpdateRegion();
}

// The shape is the rounded rectangle with a RoundX x RoundY corner ellipse, kept
// as the widget's mask so that the corners are cut from everything drawn.
void TProgressPanel::UpdateRegion() {
    const QRect whole(0, 0, width(), height());
    if (m_bRound) {
        QPainterPath path;
        path.addRoundedRect(QRectF(whole), m_nRoundX / 2.0, m_nRoundY / 2.0);
        m_hRegion = QRegion(path.toFillPolygon().toPolygon());
    } else {
        m_hRegion = QRegion(whole);
    }
    setMask(m_hRegion);
    update();
}

void TProgressPanel::FillGradient(QPainter& p, const QRect& area, const QColor& start, const QColor& end) const {
    if (m_bGradientVertical ? area.height() <= 0 : area.width() <= 0) return;
    QLinearGradient gradient(area.topLeft(), m_bGradientVertical ? area.bottomLeft() : area.topRight());
    gradient.setColorAt(0, start);
    gradient.setColorAt(1, end);
    p.fillRect(area, gradient);
}

void TProgressPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setClipRegion(m_hRegion);
    const int fill = FillWidth();
    if (fill != width()) FillGradient(p, rect(), m_clTopBackground, m_clBottonBackground);
    if (fill != 0) FillGradient(p, QRect(0, 0, fill, height()), m_clTopColor, m_clBottonColor);
    if (m_bHasBorder) {
        p.setPen(m_clBorder);
        p.setBrush(Qt::NoBrush);
        if (m_bRound) p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), m_nRoundX / 2.0, m_nRoundY / 2.0);
        else p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TProgressPanel::resizeEvent(QResizeEvent* event) {
    UpdateRegion();
    QWidget::resizeEvent(event);
}
