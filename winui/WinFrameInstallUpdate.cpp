#include "winui/WinFrameInstallUpdate.h"

#include "wizard/WizardFrames.h"
#include "wizard/WizardTexts.h"

TWinFrameInstallUpdate::TWinFrameInstallUpdate(IWinFrameHost& host)
    : TWinFrameInstall(host, fiInstallUpdate, {310, 132, 120, 30},
                       {TFrameTextKey::InstallUpdate_lblConfigInternet, TFrameTextKey::InstallUpdate_lblText,
                        TFrameTextKey::InstallUpdate_lblText2, TFrameTextKey::InstallUpdate_lblLink,
                        TFrameTextKey::InstallUpdate_btnInstall}),
      btnUpdate(NewButton("btnUpdate", {170, 132, 120, 30})) {
    btnUpdate->SetCaption(FrameText(TFrameTextKey::InstallUpdate_btnUpdate, TWizardTexts::nBuildLanguage));
    btnInstall->SetOnClick([this] { Go(TWizardButton::InstallUpdateInstall); });
    btnUpdate->SetOnClick([this] { Go(TWizardButton::InstallUpdateRepair); });
}

void TWinFrameInstallUpdate::Translate() {
    ApplyText(btnUpdate, TFrameTextKey::InstallUpdate_btnUpdate);
    const int top = TranslateSentenceFrame();
    btnUpdate->Move(btnUpdate->Logical().x, top);
    btnInstall->Move(btnInstall->Logical().x, top);
}
