#pragma once
#include <QLabel>
#include <QSet>
#include <QWidget>

#include "base/Texts.h"
#include "platform/Message.h"
#include "ui/FrameHost.h"

class TCloseButton;
class TGradientBitBtn;
class TPictureBox;
class TLinkLabel;

// The base of every wizard frame: 600 x 250, the dark background picture that
// drags the window, and the close picture at the top-right corner.
class TFrameBase : public QWidget {
    Q_OBJECT
public:
    TFrameBase(IFrameHost& host, QWidget* parent);

    // Puts the frame's texts for the language value in place and lays the frame
    // out; runs on every showing.
    virtual void Translate() = 0;
    // A data message the window hands on (progress, texts).
    virtual void HandleMessage(const TMessage& msg);
    // Runs once when the window attaches the frame: stacking.
    virtual void Attach();

    TCloseButton* CloseButton() const { return m_imgClose; }
    // The colour of the background picture at a point of the frame.
    QColor BackgroundPixel(QPoint point) const;

protected:
    IFrameHost& Host() const { return m_Host; }
    // Hands one of the frame's buttons to the window logic, which decides.
    void Go(TWizardButton button, const std::string& text = {});
    // A press with the left button on one of these (or on the bare background)
    // moves the window.
    void AddDragSource(QWidget* widget) { m_DragSources.insert(widget); }

    QLabel* NewLabel(const QFont& font, const QRect& geometry, Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop,
                     bool wordWrap = false);
    TLinkLabel* NewLink(const QFont& font, QPoint position, const QColor& colour);
    TGradientBitBtn* NewButton(const QRect& geometry, bool bold = true);
    TPictureBox* NewPicture(const QPixmap& picture, const QRect& geometry);
    // "Internet settings" at the bottom-left corner; opens the proxy dialog.
    TLinkLabel* NewConfigInternetLink();

    // Whether Translate writes `key` for the language value in force.
    static bool ShouldSet(TFrameTextKey key);
    static QString Text(TFrameTextKey key);
    // Sets the caption when Translate writes this key.
    static void ApplyText(QLabel* label, TFrameTextKey key);
    static void ApplyText(TGradientBitBtn* button, TFrameTextKey key);
    // A label that sizes itself to its text.
    static void AutoSize(QLabel* label);
    // A word-wrapped label that grows downwards when its text needs more lines.
    static void FitHeight(QLabel* label, int minimumHeight);

    // Centres the logo at the top and puts the lines picture at its left edge.
    void LayoutLogo(TPictureBox* logo, TPictureBox* lines) const;
    // Bottom to top.
    static void Restack(std::initializer_list<QWidget*> widgets);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    IFrameHost& m_Host;
    QImage m_Background;
    TCloseButton* m_imgClose;
    QSet<QWidget*> m_DragSources;
};
