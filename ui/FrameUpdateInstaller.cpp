#include "ui/FrameUpdateInstaller.h"

#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/PictureBox.h"
#include "ui/ScreenText.h"
#include "wizard/WizardTexts.h"

TFrameUpdateInstaller::TFrameUpdateInstaller(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    btnUpdate = NewButton(QRect(240, 185, 120, 30));
    btnUpdate->setText(ScreenText(FrameText(TFrameTextKey::UpdateInstaller_btnUpdate, TWizardTexts::nBuildLanguage)));
    imgAlert = NewPicture(host.Pictures().pngAlert, QRect(278, 57, 40, 36));
    lblAlert =
        NewLabel(UiFont("Segoe UI Semibold", 13), QRect(40, 114, 517, 40), Qt::AlignHCenter | Qt::AlignTop, true);
    lblAlert->setText(ScreenText(FrameText(TFrameTextKey::UpdateInstaller_lblAlert, TWizardTexts::nBuildLanguage)));
    connect(btnUpdate, &TGradientBitBtn::clicked, this, [this] { Go(TWizardButton::UpdateInstallerUpdate); });
}

void TFrameUpdateInstaller::Translate() {
    ApplyText(lblAlert, TFrameTextKey::UpdateInstaller_lblAlert);
    ApplyText(btnUpdate, TFrameTextKey::UpdateInstaller_btnUpdate);
}
