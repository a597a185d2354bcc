#include "ui/FrameInstallDone.h"

#include "ui/CloseButton.h"
#include "ui/Fonts.h"
#include "ui/GradientBitBtn.h"
#include "ui/PictureBox.h"

TFrameInstallDone::TFrameInstallDone(IFrameHost& host, QWidget* parent) : TFrameBase(host, parent) {
    imgLines = NewPicture(host.Pictures().pngLines, QRect(0, -19, 600, 223));
    imgLogo = NewPicture(host.Pictures().pngLogoProgress, QRect(235, 40, 0, 0));
    imgLogo->FitPicture();
    lblProgress = NewLabel(UiFont("Segoe UI Semibold", 13), QRect(0, 84, 600, 23), Qt::AlignHCenter | Qt::AlignTop);
    btnOpen = NewButton(QRect(251, 132, 98, 30));
    connect(btnOpen, &TGradientBitBtn::clicked, this, [this] { Go(TWizardButton::InstallDoneOpen); });
    for (QWidget* w : std::initializer_list<QWidget*>{imgLines, imgLogo, lblProgress}) AddDragSource(w);
}

void TFrameInstallDone::Attach() {
    Restack({imgLines, imgLogo, lblProgress, btnOpen, CloseButton()});
}

void TFrameInstallDone::Translate() {
    ApplyText(lblProgress, TFrameTextKey::InstallDone_lblProgress);
    ApplyText(btnOpen, TFrameTextKey::InstallDone_btnOpen);
    LayoutLogo(imgLogo, imgLines);
    lblProgress->move(lblProgress->x(), imgLogo->y() + imgLogo->height() + 12);
    btnOpen->move(btnOpen->x(), lblProgress->y() + lblProgress->height() + 34);
}
