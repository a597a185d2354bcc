#include "ui/FrameRetry.h"

#include "base/MessageIds.h"
#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/LinkLabel.h"
#include "ui/PictureBox.h"
#include "ui/ScreenText.h"
#include "wizard/WizardTexts.h"

TFrameRetry::TFrameRetry(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    btnRetry = NewButton(QRect(240, 185, 120, 30));
    btnRetry->setText(ScreenText(FrameText(TFrameTextKey::Retry_btnRetry, TWizardTexts::nBuildLanguage)));
    imgAlert = NewPicture(host.Pictures().pngAlert, QRect(278, 57, 40, 36));
    lblAlert = NewLabel(UiFont("Segoe UI", 15), QRect(40, 114, 517, 40), Qt::AlignHCenter | Qt::AlignTop, true);
    lblConfigInternet = NewConfigInternetLink();
    lblConfigInternet->setText(ScreenText(FrameText(TFrameTextKey::Retry_lblConfigInternet, TWizardTexts::nBuildLanguage)));
    AutoSize(lblConfigInternet);
    connect(btnRetry, &TGradientBitBtn::clicked, this, [this] { Go(TWizardButton::RetryRetry); });
}

void TFrameRetry::Translate() {
    ApplyText(lblConfigInternet, TFrameTextKey::Retry_lblConfigInternet);
    AutoSize(lblConfigInternet);
    ApplyText(btnRetry, TFrameTextKey::Retry_btnRetry);
}

void TFrameRetry::HandleMessage(const TMessage& msg) {
    if (msg.message != WM_SET_RETRY_MSG) return;
    lblAlert->setText(ScreenText(msg.text));
    FitHeight(lblAlert, 40);
}
