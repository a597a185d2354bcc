#pragma once
#include <QLabel>

// A clickable label. As a link (the default) it turns bold and underlined and
// shows the hand cursor on its frame while the mouse is over it; bold only
// otherwise. Clicks do not drag the window.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent = nullptr, bool link = true);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetUnderline(bool on);
    bool m_bLink;
};
