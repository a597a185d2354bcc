#include "winui/WinFrameInstallDone.h"

#include "wizard/WizardFrames.h"

TWinFrameInstallDone::TWinFrameInstallDone(IWinFrameHost& host)
    : TWinFrame(host, fiInstallDone),
      imgLines(NewPicture("imgLines", host.Pictures().pngLines, {0, -19, 600, 223})),
      imgLogo(NewPicture("imgLogo", host.Pictures().pngLogoProgress, {235, 40, 0, 0})),
      lblProgress(NewLabel("lblProgress", {"Segoe UI Semibold", 13}, {0, 84, 600, 23})),
      btnOpen(NewButton("btnOpen", {251, 132, 98, 30})) {
    btnOpen->SetOnClick([this] { Go(TWizardButton::InstallDoneOpen); });
}

void TWinFrameInstallDone::Translate() {
    ApplyText(lblProgress, TFrameTextKey::InstallDone_lblProgress);
    ApplyText(btnOpen, TFrameTextKey::InstallDone_btnOpen);
    LayoutLogo(*imgLogo, *imgLines);
    lblProgress->Move(lblProgress->Logical().x, imgLogo->rect.Bottom() + 12);
    btnOpen->Move(btnOpen->Logical().x, lblProgress->Logical().Bottom() + 34);
}
