#pragma once
#include <QPixmap>
#include <QWidget>

// A picture control: draws its picture centred, scaled down proportionally when
// the picture is larger than the control. Mouse presses pass through to the
// frame below (which may drag the window by them).
class TPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit TPictureBox(QWidget* parent = nullptr);
    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return m_Picture; }
    // Resizes the control to its picture.
    void FitPicture();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_Picture;
};
