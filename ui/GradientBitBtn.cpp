#include "ui/GradientBitBtn.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

int Clamp(int v) { return std::clamp(v, 0, 255); }

// Halves go to the even neighbour, as the platform's rounding does.
int RoundHalfEven(double v) { return static_cast<int>(std::nearbyint(v)); }

}  // namespace

TGradientBitBtn::TGradientBitBtn(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::ArrowCursor);
}

void TGradientBitBtn::SetColors(const QColor& color, const QColor& color2) {
    m_clColor = color;
    m_clColor2 = color2;
    update();
}

QColor TGradientBitBtn::Mix(const QColor& a, const QColor& b) {
    auto mix = [](int x, int y) { return ((x + y) * 50 + 50) / 100; };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QColor TGradientBitBtn::Shift(const QColor& c, int n) {
    return QColor(Clamp(c.red() + n), Clamp(c.green() + n), Clamp(c.blue() + n));
}

bool TGradientBitBtn::Dark(const QColor& c, int threshold) {
    return 76 * c.red() + 150 * c.green() + 30 * c.blue() < threshold * 256;
}

TButtonLook TGradientBitBtn::Look(bool mouseOver, bool pressed, const QColor& surface) const {
    TButtonLook look;
    QColor c1 = m_clColor, c2 = m_clColor2;
    const QColor mixed = Mix(c1, c2);
    look.clCaption = Dark(mixed, 130) ? QColor(Qt::white) : Dark(mixed, 140) ? QColor(45, 42, 51) : QColor(Qt::black);
    if (pressed) {
        c1 = Shift(c1, -40);
        c2 = Shift(c2, -40);
    } else if (!m_bClear && mouseOver) {
        const bool bothWhite = c1 == QColor(Qt::white) && c2 == QColor(Qt::white);
        const int n = bothWhite ? -30 : m_bSoftHighlight ? 5 : 20;
        c1 = Shift(c1, n);
        c2 = Shift(c2, n);
    }
    look.clStart = c1;
    look.clEnd = c2;
    look.clFill = Mix(c1, c2);
    look.bFilled = !m_bClear || mouseOver || pressed;
    if (!look.bFilled) {
        if (!m_FontColor) look.clCaption = Dark(surface, 140) ? QColor(Qt::white) : QColor(Qt::black);
        else look.clCaption = *m_FontColor;
    }
    if (m_bForceFontColor && m_FontColor) look.clCaption = mouseOver ? Shift(*m_FontColor, 80) : *m_FontColor;
    return look;
}

QPoint TGradientBitBtn::CaptionOrigin(QSize button, QSize text, bool pressed) {
    const int p = pressed ? 1 : 0;
    const int x = RoundHalfEven(button.width() / 2.0 - text.width() / 2.0) + p;
    const int diff = button.height() - text.height();
    const int y = diff / 2 + (diff % 2 != 0 ? 1 : 0) + p;
    return QPoint(x, y);
}

QColor TGradientBitBtn::Surface() const {
    if (m_fnSurface) return m_fnSurface();
    return parentWidget() ? parentWidget()->palette().color(QPalette::Window) : palette().color(QPalette::Window);
}

void TGradientBitBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool pressed = isDown();
    const TButtonLook look = Look(m_bMouseOver || pressed, pressed, Surface());
    if (look.bFilled) PaintFace(p, look);
    else PaintOutline(p, look);
    if (text().isEmpty()) return;
    p.setFont(font());
    p.setPen(look.clCaption);
    const QFontMetrics metrics(font());
    const QSize textSize(metrics.horizontalAdvance(text()), metrics.height());
    const QPoint origin = CaptionOrigin(size(), textSize, pressed);
    p.drawText(QRect(origin, textSize), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text());
}

void TGradientBitBtn::PaintFace(QPainter& p, const TButtonLook& look) const {
    const QRect whole = rect();
    if (look.clStart == look.clEnd) {
        if (m_nRadius < 1) {
            p.fillRect(whole, look.clFill);
            return;
        }
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(look.clFill);
        p.drawRoundedRect(QRectF(whole), m_nRadius / 2.0, m_nRadius / 2.0);
        return;
    }
    QLinearGradient gradient(0, 0, 0, height());
    if (m_pgdDirection == gdHorizontal) gradient.setFinalStop(width(), 0);
    if (m_pgdDirection == gdDiagonal) gradient.setFinalStop(width(), height());
    gradient.setColorAt(0, look.clStart);
    gradient.setColorAt(1, look.clEnd);
    p.fillRect(whole, gradient);
}

void TGradientBitBtn::PaintOutline(QPainter& p, const TButtonLook& look) const {
    p.setBrush(Qt::NoBrush);
    if (m_nRadius < 1) {
        const int w = std::max(1, m_nSpacing - 3);
        p.setPen(QPen(look.clFill, w));
        p.drawRect(QRectF(w / 2.0, w / 2.0, width() - w, height() - w));
        return;
    }
    p.setPen(QPen(look.clFill, 1));
    p.setRenderHint(QPainter::Antialiasing);
    p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), m_nRadius / 2.0, m_nRadius / 2.0);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (m_nSpacing >= 6) {
        const int w = m_nSpacing - 5;
        p.setPen(QPen(look.clFill, w));
        p.drawRect(QRectF(1 + w / 2.0, 1 + w / 2.0, width() - 2 - w, height() - 2 - w));
    }
}

void TGradientBitBtn::enterEvent(QEnterEvent* event) {
    m_bMouseOver = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TGradientBitBtn::leaveEvent(QEvent* event) {
    m_bMouseOver = false;
    update();
    QAbstractButton::leaveEvent(event);
}
