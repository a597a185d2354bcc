#include "winui/WinFrameRetry.h"

#include "wizard/WizardFrames.h"
#include "wizard/WizardTexts.h"

TWinFrameRetry::TWinFrameRetry(IWinFrameHost& host)
    : TWinFrame(host, fiRetry),
      btnRetry(NewButton("btnRetry", {240, 185, 120, 30})),
      imgAlert(NewPicture("imgAlert", host.Pictures().pngAlert, {278, 57, 40, 36})),
      lblAlert(NewLabel("lblAlert", {"Segoe UI", 15}, {40, 114, 517, 40}, TLabelAlign::HCenter, true, false)),
      lblConfigInternet(NewConfigInternetLink(TFrameTextKey::Retry_lblConfigInternet)) {
    btnRetry->SetCaption(FrameText(TFrameTextKey::Retry_btnRetry, TWizardTexts::nBuildLanguage));
    btnRetry->SetOnClick([this] { Go(TWizardButton::RetryRetry); });
}

void TWinFrameRetry::Translate() {
    ApplyText(lblConfigInternet, TFrameTextKey::Retry_lblConfigInternet);
    lblConfigInternet->AutoSize();
    ApplyText(btnRetry, TFrameTextKey::Retry_btnRetry);
}

void TWinFrameRetry::SetMessage(const std::string& text) {
    lblAlert->SetText(text);
    lblAlert->FitHeight(40);
}
