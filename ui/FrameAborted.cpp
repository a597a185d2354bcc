#include "ui/FrameAborted.h"

#include "base/MessageIds.h"
#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/PictureBox.h"
#include "ui/ScreenText.h"
#include "wizard/WizardTexts.h"

TFrameAborted::TFrameAborted(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    btnOK = NewButton(QRect(240, 185, 120, 30), false);
    btnOK->setText(ScreenText(FrameText(TFrameTextKey::Aborted_btnOK, TWizardTexts::nBuildLanguage)));
    imgAlert = NewPicture(host.Pictures().pngAlert, QRect(278, 40, 40, 36));
    lblAlert = NewLabel(UiFont("Segoe UI", 15), QRect(40, 82, 517, 65), Qt::AlignHCenter | Qt::AlignTop, true);
    edtHardwareID = new QLineEdit(this);
    edtHardwareID->setGeometry(175, 153, 250, 21);
    edtHardwareID->setAlignment(Qt::AlignCenter);
    edtHardwareID->setReadOnly(true);
    edtHardwareID->setFont(UiFont("Segoe UI", 11));
    connect(btnOK, &TGradientBitBtn::clicked, this, [this] { Go(TWizardButton::AbortedOK); });
}

void TFrameAborted::Translate() {}

void TFrameAborted::HandleMessage(const TMessage& msg) {
    if (msg.message != WM_SET_ABORT_MSG) return;
    lblAlert->setText(ScreenText(msg.text));
    edtHardwareID->setText(ScreenText(msg.text2));
}
