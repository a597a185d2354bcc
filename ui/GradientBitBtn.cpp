#include "ui/GradientBitBtn.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>

#include "wizard/ButtonColours.h"

namespace {

TRgb Rgb(const QColor& c) {
    return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

QColor Colour(TRgb c) { return QColor(c.r, c.g, c.b); }

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

QColor TGradientBitBtn::Mix(const QColor& a, const QColor& b) { return Colour(TButtonColours::Mix(Rgb(a), Rgb(b))); }

QColor TGradientBitBtn::Shift(const QColor& c, int n) { return Colour(TButtonColours::Shift(Rgb(c), n)); }

bool TGradientBitBtn::Dark(const QColor& c, int threshold) { return TButtonColours::Dark(Rgb(c), threshold); }

TButtonLook TGradientBitBtn::Look(bool mouseOver, bool pressed, const QColor& surface) const {
    TButtonStyle style;
    style.clColor = Rgb(m_clColor);
    style.clColor2 = Rgb(m_clColor2);
    style.bClear = m_bClear;
    style.bSoftHighlight = m_bSoftHighlight;
    style.bForceFontColor = m_bForceFontColor;
    if (m_FontColor) style.clFontColor = Rgb(*m_FontColor);
    const TButtonFace face = TButtonColours::Look(style, mouseOver, pressed, Rgb(surface));
    return {face.bFilled, Colour(face.clStart), Colour(face.clEnd), Colour(face.clFill), Colour(face.clCaption)};
}

QPoint TGradientBitBtn::CaptionOrigin(QSize button, QSize text, bool pressed) {
    const TTextOrigin origin =
        TButtonColours::CaptionOrigin(button.width(), button.height(), text.width(), text.height(), pressed);
    return QPoint(origin.x, origin.y);
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
