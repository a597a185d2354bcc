#include "ui/LinkLabel.h"

#include <QMouseEvent>

TLinkLabel::TLinkLabel(QWidget* parent, bool link) : QLabel(parent), m_bLink(link) {}

void TLinkLabel::SetUnderline(bool on) {
    QFont f = font();
    f.setBold(true);
    f.setUnderline(on);
    setFont(f);
    adjustSize();
}

void TLinkLabel::enterEvent(QEnterEvent*) {
    if (!m_bLink) return;
    SetUnderline(true);
    if (parentWidget()) parentWidget()->setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::leaveEvent(QEvent*) {
    if (!m_bLink) return;
    SetUnderline(false);
    if (parentWidget()) parentWidget()->unsetCursor();
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}
