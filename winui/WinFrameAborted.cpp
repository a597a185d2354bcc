#include "winui/WinFrameAborted.h"

#include "wizard/WizardFrames.h"
#include "wizard/WizardTexts.h"

TWinFrameAborted::TWinFrameAborted(IWinFrameHost& host)
    : TWinFrame(host, fiAborted),
      btnOK(NewButton("btnOK", {240, 185, 120, 30}, false)),
      imgAlert(NewPicture("imgAlert", host.Pictures().pngAlert, {278, 40, 40, 36})),
      lblAlert(NewLabel("lblAlert", {"Segoe UI", 15}, {40, 82, 517, 65}, TLabelAlign::HCenter, true, false)),
      edtHardwareID(NewEdit("edtHardwareID", {175, 153, 250, 21}, ES_CENTER | ES_READONLY)) {
    btnOK->SetCaption(FrameText(TFrameTextKey::Aborted_btnOK, TWizardTexts::nBuildLanguage));
    btnOK->SetOnClick([this] { Go(TWizardButton::AbortedOK); });
}

void TWinFrameAborted::Translate() {}

void TWinFrameAborted::SetTexts(const std::string& text, const std::string& identifier) {
    lblAlert->SetText(text);
    edtHardwareID->SetText(identifier);
}
