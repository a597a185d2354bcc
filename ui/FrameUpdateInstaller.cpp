#include "ui/FrameUpdateInstaller.h"

#include "base/Edition.h"
#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/PictureBox.h"
#include "ui/ScreenText.h"

TFrameUpdateInstaller::TFrameUpdateInstaller(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    btnUpdate = NewButton(QRect(240, 185, 120, 30));
    btnUpdate->setText(ScreenText(FrameText(TFrameTextKey::UpdateInstaller_btnUpdate, lngPortuguese)));
    imgAlert = NewPicture(host.Pictures().pngAlert, QRect(278, 57, 40, 36));
    lblAlert =
        NewLabel(UiFont("Segoe UI Semibold", 13), QRect(40, 114, 517, 40), Qt::AlignHCenter | Qt::AlignTop, true);
    lblAlert->setText(ScreenText(FrameText(TFrameTextKey::UpdateInstaller_lblAlert, lngPortuguese)));
    connect(btnUpdate, &TGradientBitBtn::clicked, this, [this] {
        Host().OpenAddress(edition::strInstallerDownloadUrl() + edition::strInstallerExeName);
        Host().Quit();
    });
}

void TFrameUpdateInstaller::Translate() {
    ApplyText(lblAlert, TFrameTextKey::UpdateInstaller_lblAlert);
    ApplyText(btnUpdate, TFrameTextKey::UpdateInstaller_btnUpdate);
}
