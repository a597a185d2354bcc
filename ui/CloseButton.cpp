#include "ui/CloseButton.h"

#include <QMouseEvent>

TCloseButton::TCloseButton(const QPixmap& rest, const QPixmap& over, const QPixmap& pressed, QWidget* parent)
    : TPictureBox(parent), m_pngRest(rest), m_pngOver(over), m_pngPressed(pressed) {
    SetPicture(m_pngRest);
}

void TCloseButton::enterEvent(QEnterEvent*) { SetPicture(m_pngOver); }

void TCloseButton::leaveEvent(QEvent*) { SetPicture(m_pngRest); }

void TCloseButton::mousePressEvent(QMouseEvent* event) {
    SetPicture(m_pngPressed);
    event->accept();
}

void TCloseButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool inside = rect().contains(event->position().toPoint());
    SetPicture(inside ? m_pngOver : m_pngRest);
    if (inside && event->button() == Qt::LeftButton) emit clicked();
}
