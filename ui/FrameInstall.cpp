#include "ui/FrameInstall.h"

#include "base/Edition.h"
#include "ui/CloseButton.h"
#include "ui/GradientBitBtn.h"
#include "ui/PictureBox.h"

TFrameInstall::TFrameInstall(IFrameHost& host, QWidget* parent)
    : TFrameBase(host, parent),
      imgLines(NewPicture(host.Pictures().pngLines, QRect(-4, 6, 297, 223))),
      imgLogo(NewPicture(host.Pictures().pngLogoInstall, QRect(235, 40, 0, 0))),
      btnInstall(NewButton(QRect(240, 132, 120, 30))),
      lblConfigInternet(NewConfigInternetLink()),
      Sentence(this) {
    imgLogo->FitPicture();
    connect(btnInstall, &TGradientBitBtn::clicked, this, &TFrameInstall::InstallClick);
    connect(Sentence.lblLink, &TLinkLabel::clicked, this, [this] { Host().OpenAddress(edition::strContractUrl()); });
    for (QWidget* w : std::initializer_list<QWidget*>{imgLines, imgLogo}) AddDragSource(w);
}

void TFrameInstall::Attach() {
    Restack({imgLines, imgLogo, Sentence.lblText, Sentence.lblText2, Sentence.lblLink, Sentence.lblDot, btnInstall});
}

void TFrameInstall::Translate() {
    ApplyText(lblConfigInternet, TFrameTextKey::Install_lblConfigInternet);
    AutoSize(lblConfigInternet);
    ApplyText(Sentence.lblText, TFrameTextKey::Install_lblText);
    ApplyText(Sentence.lblText2, TFrameTextKey::Install_lblText2);
    ApplyText(Sentence.lblLink, TFrameTextKey::Install_lblLink);
    ApplyText(btnInstall, TFrameTextKey::Install_btnInstall);
    LayoutLogo(imgLogo, imgLines);
    const int bottom = Sentence.Layout(imgLogo->y() + imgLogo->height() + 12, width());
    btnInstall->move(btnInstall->x(), bottom + 34);
}

void TFrameInstall::InstallClick() { Go(TWizardButton::InstallInstall); }
