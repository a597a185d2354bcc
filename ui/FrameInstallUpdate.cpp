#include "ui/FrameInstallUpdate.h"

#include "base/Edition.h"
#include "ui/CloseButton.h"
#include "ui/GradientBitBtn.h"
#include "ui/PictureBox.h"

TFrameInstallUpdate::TFrameInstallUpdate(IFrameHost& host, QWidget* parent)
    : TFrameBase(host, parent),
      imgLines(NewPicture(host.Pictures().pngLines, QRect(-4, 6, 297, 223))),
      imgLogo(NewPicture(host.Pictures().pngLogoInstall, QRect(235, 40, 0, 0))),
      btnUpdate(NewButton(QRect(170, 132, 120, 30))),
      btnInstall(NewButton(QRect(310, 132, 120, 30))),
      lblConfigInternet(NewConfigInternetLink()),
      Sentence(this) {
    imgLogo->FitPicture();
    connect(btnInstall, &TGradientBitBtn::clicked, this, &TFrameInstallUpdate::InstallClick);
    connect(btnUpdate, &TGradientBitBtn::clicked, this, &TFrameInstallUpdate::UpdateClick);
    connect(Sentence.lblLink, &TLinkLabel::clicked, this, [this] { Host().OpenAddress(edition::strContractUrl()); });
    for (QWidget* w : std::initializer_list<QWidget*>{imgLines, imgLogo}) AddDragSource(w);
}

void TFrameInstallUpdate::Attach() {
    Restack({imgLines, imgLogo, Sentence.lblText, Sentence.lblText2, Sentence.lblLink, Sentence.lblDot, btnInstall,
             btnUpdate});
}

void TFrameInstallUpdate::Translate() {
    ApplyText(lblConfigInternet, TFrameTextKey::InstallUpdate_lblConfigInternet);
    AutoSize(lblConfigInternet);
    ApplyText(btnInstall, TFrameTextKey::InstallUpdate_btnInstall);
    ApplyText(btnUpdate, TFrameTextKey::InstallUpdate_btnUpdate);
    ApplyText(Sentence.lblText, TFrameTextKey::InstallUpdate_lblText);
    ApplyText(Sentence.lblText2, TFrameTextKey::InstallUpdate_lblText2);
    ApplyText(Sentence.lblLink, TFrameTextKey::InstallUpdate_lblLink);
    LayoutLogo(imgLogo, imgLines);
    const int bottom = Sentence.Layout(imgLogo->y() + imgLogo->height() + 12, width());
    btnUpdate->move(btnUpdate->x(), bottom + 34);
    btnInstall->move(btnInstall->x(), bottom + 34);
}

void TFrameInstallUpdate::InstallClick() { Go(TWizardButton::InstallUpdateInstall); }

void TFrameInstallUpdate::UpdateClick() { Go(TWizardButton::InstallUpdateRepair); }
