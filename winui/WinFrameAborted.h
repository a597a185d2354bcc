#pragma once
#include "winui/WinFrame.h"

#include "winui/WinGradientButton.h"
#include "winui/WinNative.h"

// A failure that ends the run, with the support identifier to copy.
class TWinFrameAborted : public TWinFrame {
public:
    explicit TWinFrameAborted(IWinFrameHost& host);
    void Translate() override;

    void SetTexts(const std::string& text, const std::string& identifier);

    TWinGradientButton* btnOK;
    TPictureItem* imgAlert;
    TWinLabel* lblAlert;
    TWinNative* edtHardwareID;
};
