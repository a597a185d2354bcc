#include "winui/WinFrameCreateInstall.h"

#include "base/Edition.h"
#include "wizard/NewInstallationName.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardTexts.h"
#include "wizard/WizardWindow.h"

TWinFrameCreateInstall::TWinFrameCreateInstall(IWinFrameHost& host)
    : TWinFrame(host, fiCreateInstall),
      imgLines(NewPicture("imgLines", host.Pictures().pngLines, {0, -19, 600, 223})),
      imgLogo(NewPicture("imgLogo", host.Pictures().pngLogoProgress, {235, 40, 0, 0})),
      lblInstalado(NewLabel("lblInstalado", {"Segoe UI Semibold", 13}, {0, 84, 600, 26})),
      edtNome(NewEdit("edtNome", {150, 120, 300, 21}, ES_CENTER)),
      btnInstall(NewButton("btnInstall", {240, 165, 120, 30})) {
    lblInstalado->SetText(FrameText(TFrameTextKey::CreateInstall_lblInstalado, TWizardTexts::nBuildLanguage));
    btnInstall->SetCaption(FrameText(TFrameTextKey::CreateInstall_btnInstall, TWizardTexts::nBuildLanguage));
    // Typing stops at 14 characters; a longer placeholder is still shown whole,
    // since cut short it would no longer equal the placeholder and pass as a name.
    SendMessageW(edtNome->Handle(), EM_SETLIMITTEXT, 14, 0);
    edtNome->SetText(txtNamePlaceholder);
    edtNome->SetOnFocus([this] {
        if (edtNome->Text() == txtNamePlaceholder) edtNome->SetText("");
    });
    edtNome->SetOnKeyUp([this](WPARAM key) {
        if (key == VK_RETURN) btnInstall->Click();
    });
    btnInstall->SetOnClick([this] { InstallClick(); });
}

void TWinFrameCreateInstall::Translate() {
    const uint8_t language = GetLanguage();
    if (TWizardTexts::NameFrameTranslates(language)) {
        ApplyText(lblInstalado, TFrameTextKey::CreateInstall_lblInstalado);
        ApplyText(btnInstall, TFrameTextKey::CreateInstall_btnInstall);
        TranslateNameFrameTexts(language);
        edtNome->SetText(txtNamePlaceholder);
    }
    LayoutLogo(*imgLogo, *imgLines);
}

bool TWinFrameCreateInstall::ValidateName() {
    const auto problem =
        TNewInstallationName::Check(edtNome->Text(), txtNamePlaceholder, Logic().InstallList().Installs());
    if (!problem) return true;
    Host().ShowInfo(edition::strWindowCaption, TNewInstallationName::Text(*problem));
    return false;
}

void TWinFrameCreateInstall::InstallClick() {
    if (ValidateName()) Go(TWizardButton::CreateInstallContinue, edtNome->Text());
}
