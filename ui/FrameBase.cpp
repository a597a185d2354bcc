#include "ui/FrameBase.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/CloseButton.h"
#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/LinkLabel.h"
#include "ui/LookConstants.h"
#include "ui/PictureBox.h"
#include "ui/ScreenText.h"
#include "wizard/FrameLayout.h"
#include "wizard/WizardTexts.h"

TFrameBase::TFrameBase(IFrameHost& host, QWidget* parent)
    : QWidget(parent), m_Host(host), m_Background(host.Pictures().pngBackground.toImage()) {
    setGeometry(0, 0, look::nFrameWidth, look::nFrameHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, look::clTextColor);
    setPalette(pal);
    const TPictures& pictures = host.Pictures();
    m_imgClose = new TCloseButton(pictures.pngClose, pictures.pngCloseOver, pictures.pngCloseClick, this);
    m_imgClose->setGeometry(568, 2, 30, 30);
    connect(m_imgClose, &TCloseButton::clicked, this, [this] { m_Host.RequestClose(); });
}

void TFrameBase::HandleMessage(const TMessage&) {}

void TFrameBase::Attach() {}

void TFrameBase::Go(TWizardButton button, const std::string& text) {
    m_Host.Wizard().Go(button, text);
}

QColor TFrameBase::BackgroundPixel(QPoint point) const {
    if (!m_Background.valid(point)) return palette().color(QPalette::Window);
    return m_Background.pixelColor(point);
}

QLabel* TFrameBase::NewLabel(const QFont& font, const QRect& geometry, Qt::Alignment align, bool wordWrap) {
    auto* label = new QLabel(this);
    label->setFont(font);
    label->setGeometry(geometry);
    label->setAlignment(align);
    label->setWordWrap(wordWrap);
    return label;
}

TLinkLabel* TFrameBase::NewLink(const QFont& font, QPoint position, const QColor& colour) {
    auto* link = new TLinkLabel(this);
    link->setFont(font);
    QPalette pal = link->palette();
    pal.setColor(QPalette::WindowText, colour);
    link->setPalette(pal);
    link->move(position);
    return link;
}

TGradientBitBtn* TFrameBase::NewButton(const QRect& geometry, bool bold) {
    auto* button = new TGradientBitBtn(this);
    button->setGeometry(geometry);
    button->SetColors(look::clButtonColor, look::clButtonColor2);
    button->SetGradientDirection(gdVertical);
    button->SetRadius(4);
    button->SetSpacing(6);
    if (bold) {
        button->SetForceFontColor(look::bButtonForceFontColor);
        button->SetClear(look::bButtonClear);
        button->SetFontColor(std::nullopt);
    }
    button->setFont(UiFont("Segoe UI Semibold", 12, bold));
    button->SetSurfaceProbe([this, button] { return BackgroundPixel(button->geometry().center()); });
    return button;
}

TPictureBox* TFrameBase::NewPicture(const QPixmap& picture, const QRect& geometry) {
    auto* box = new TPictureBox(this);
    box->SetPicture(picture);
    box->setGeometry(geometry);
    return box;
}

TLinkLabel* TFrameBase::NewConfigInternetLink() {
    TLinkLabel* link = NewLink(UiFont("Segoe UI Semibold", 12, true), QPoint(20, 218), look::clTextColor);
    link->setText(Text(TFrameTextKey::Install_lblConfigInternet));
    AutoSize(link);
    connect(link, &TLinkLabel::clicked, this, [this] { m_Host.ConfigInternet(); });
    return link;
}

bool TFrameBase::ShouldSet(TFrameTextKey key) { return TWizardTexts::WrittenOnShowing(key, GetLanguage()); }

QString TFrameBase::Text(TFrameTextKey key) { return ScreenText(FrameText(key, GetLanguage())); }

void TFrameBase::ApplyText(QLabel* label, TFrameTextKey key) {
    if (ShouldSet(key)) label->setText(Text(key));
}

void TFrameBase::ApplyText(TGradientBitBtn* button, TFrameTextKey key) {
    if (ShouldSet(key)) button->setText(Text(key));
}

void TFrameBase::AutoSize(QLabel* label) {
    const QFontMetrics metrics(label->font());
    label->resize(metrics.horizontalAdvance(label->text()), metrics.height());
}

void TFrameBase::FitHeight(QLabel* label, int minimumHeight) {
    label->resize(label->width(), std::max(minimumHeight, label->heightForWidth(label->width())));
}

void TFrameBase::LayoutLogo(TPictureBox* logo, TPictureBox* lines) const {
    logo->FitPicture();
    TRect logoPlace{logo->x(), logo->y(), logo->width(), logo->height()};
    TRect linesPlace{lines->x(), lines->y(), lines->width(), lines->height()};
    TFrameLayout::PlaceLogo(logoPlace, linesPlace, width());
    logo->move(logoPlace.x, logoPlace.y);
    lines->move(linesPlace.x, linesPlace.y);
}

void TFrameBase::Restack(std::initializer_list<QWidget*> widgets) {
    for (QWidget* widget : widgets) widget->raise();
}

void TFrameBase::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap& background = m_Host.Pictures().pngBackground;
    QSize size = background.size();
    if (size.width() > width() || size.height() > height()) size.scale(this->size(), Qt::KeepAspectRatio);
    p.drawPixmap(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size), background);
}

void TFrameBase::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    QWidget* source = childAt(event->position().toPoint());
    if (source && !m_DragSources.contains(source)) return;
    m_Host.StartWindowMove();
}
