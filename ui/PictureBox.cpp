#include "ui/PictureBox.h"

#include <QPainter>

TPictureBox::TPictureBox(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

void TPictureBox::SetPicture(const QPixmap& picture) {
    m_Picture = picture;
    update();
}

void TPictureBox::FitPicture() { resize(m_Picture.size()); }

void TPictureBox::paintEvent(QPaintEvent*) {
    if (m_Picture.isNull()) return;
    QSize size = m_Picture.size();
    if (size.width() > width() || size.height() > height()) size.scale(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(target, m_Picture);
}
