#pragma once
#include <QAbstractButton>
#include <QColor>
#include <functional>
#include <optional>

enum TVantixGradientDirection { gdHorizontal, gdVertical, gdDiagonal };

// What a button draws in one state: a filled face or an outline, in which
// colours, and the caption's colour.
struct TButtonLook {
    bool bFilled = false;
    QColor clStart;    // face or outline colour (gradient start)
    QColor clEnd;      // gradient end; equal to clStart for a flat face
    QColor clFill;     // mix of the two: the outline's pen and a flat face
    QColor clCaption;
};

// The wizard's flat, owner-drawn push button: an outline until the mouse is over
// it ("clear" look), a filled face under the mouse, a darker face while pressed.
// It never takes the keyboard focus. Window thread only.
class TGradientBitBtn : public QAbstractButton {
    Q_OBJECT
public:
    explicit TGradientBitBtn(QWidget* parent = nullptr);

    void SetColors(const QColor& color, const QColor& color2);
    void SetGradientDirection(TVantixGradientDirection direction) { m_pgdDirection = direction; update(); }
    void SetRadius(int radius) { m_nRadius = radius; update(); }
    void SetSpacing(int spacing) { m_nSpacing = spacing; update(); }
    void SetClear(bool clear) { m_bClear = clear; update(); }
    void SetSoftHighlight(bool soft) { m_bSoftHighlight = soft; update(); }
    void SetForceFontColor(bool force) { m_bForceFontColor = force; update(); }
    // An empty colour stands for the system's window-text colour, which lets
    // the caption colour follow the surface behind an outline button.
    void SetFontColor(std::optional<QColor> color) { m_FontColor = color; update(); }
    // The colour of the surface behind the button's centre, for the outline
    // look's caption; by default the parent's window colour.
    void SetSurfaceProbe(std::function<QColor()> probe) { m_fnSurface = std::move(probe); update(); }

    bool MouseOver() const { return m_bMouseOver; }

    // Colour arithmetic, per channel.
    static QColor Mix(const QColor& a, const QColor& b);
    static QColor Shift(const QColor& c, int n);
    static bool Dark(const QColor& c, int threshold);

    // The look in a state; `surface` is the colour behind the button's centre.
    TButtonLook Look(bool mouseOver, bool pressed, const QColor& surface) const;
    // Top-left corner of the caption text of `text` size in a button of `button` size.
    static QPoint CaptionOrigin(QSize button, QSize text, bool pressed);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void PaintFace(QPainter& p, const TButtonLook& look) const;
    void PaintOutline(QPainter& p, const TButtonLook& look) const;
    QColor Surface() const;

    QColor m_clColor;
    QColor m_clColor2;
    TVantixGradientDirection m_pgdDirection = gdVertical;
    int m_nRadius = 4;
    int m_nSpacing = 6;
    bool m_bClear = false;
    bool m_bSoftHighlight = false;
    bool m_bForceFontColor = false;
    std::optional<QColor> m_FontColor;
    std::function<QColor()> m_fnSurface;
    bool m_bMouseOver = false;
};
