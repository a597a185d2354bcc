#include "winui/WinFrameUpdateInstaller.h"

#include "wizard/WizardFrames.h"
#include "wizard/WizardTexts.h"

TWinFrameUpdateInstaller::TWinFrameUpdateInstaller(IWinFrameHost& host)
    : TWinFrame(host, fiUpdateInstaller),
      btnUpdate(NewButton("btnUpdate", {240, 185, 120, 30})),
      imgAlert(NewPicture("imgAlert", host.Pictures().pngAlert, {278, 57, 40, 36})),
      lblAlert(NewLabel("lblAlert", {"Segoe UI Semibold", 13}, {40, 114, 517, 40}, TLabelAlign::HCenter, true,
                        false)) {
    btnUpdate->SetCaption(FrameText(TFrameTextKey::UpdateInstaller_btnUpdate, TWizardTexts::nBuildLanguage));
    lblAlert->SetText(FrameText(TFrameTextKey::UpdateInstaller_lblAlert, TWizardTexts::nBuildLanguage));
    btnUpdate->SetOnClick([this] { Go(TWizardButton::UpdateInstallerUpdate); });
}

void TWinFrameUpdateInstaller::Translate() {
    ApplyText(lblAlert, TFrameTextKey::UpdateInstaller_lblAlert);
    ApplyText(btnUpdate, TFrameTextKey::UpdateInstaller_btnUpdate);
}
