#pragma once
#include "ui/PictureBox.h"

// The frames' close picture: one picture at rest, one under the mouse, one while
// a mouse button is held on it. A left click asks the window to close.
class TCloseButton : public TPictureBox {
    Q_OBJECT
public:
    TCloseButton(const QPixmap& rest, const QPixmap& over, const QPixmap& pressed, QWidget* parent);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_pngRest, m_pngOver, m_pngPressed;
};
