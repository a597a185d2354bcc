#include "winui/WinFrameCloseVantix.h"

#include "wizard/WizardFrames.h"

TWinFrameCloseVantix::TWinFrameCloseVantix(IWinFrameHost& host)
    : TWinFrame(host, fiCloseVantix),
      imgAlert(NewPicture("imgAlert", host.Pictures().pngAlert, {278, 57, 40, 36})),
      lblAlert(NewLabel("lblAlert", {"Segoe UI", 15}, {40, 114, 520, 40}, TLabelAlign::Center, true)) {
    imgAlert->bVisible = false;
    lblAlert->Show(false);
}

void TWinFrameCloseVantix::Translate() {}
