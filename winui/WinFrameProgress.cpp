#include "winui/WinFrameProgress.h"

#include "wizard/WizardFrames.h"

TWinFrameProgress::TWinFrameProgress(IWinFrameHost& host)
    : TWinFrame(host, fiProgress),
      imgLines(NewPicture("imgLines", host.Pictures().pngLines, {0, -19, 600, 223})),
      imgLogo(NewPicture("imgLogo", host.Pictures().pngLogoProgress, {235, 40, 0, 0})),
      lblProgress(NewLabel("lblProgress", {"Segoe UI Semibold", 15}, {0, 131, 600, 20})),
      pbProgressBar(Add<TWinProgressPanel>(TRect{36, 158, 528, 16})) {
    pbProgressBar->SetRound(2, 2);
    pbProgressBar->SetColours(look::rgbProgressColor, look::rgbProgressColor, look::rgbProgressBackColor,
                              look::rgbProgressBackColor);
}

void TWinFrameProgress::Translate() {
    ApplyText(lblProgress, TFrameTextKey::Progress_lblProgress);
    LayoutLogo(*imgLogo, *imgLines);
    lblProgress->Move(lblProgress->Logical().x, imgLogo->rect.Bottom() + 55);
    pbProgressBar->Move(pbProgressBar->Logical().x, lblProgress->Logical().Bottom() + 13);
}

void TWinFrameProgress::SetStatusText(const std::string& text) { lblProgress->SetText(text); }
