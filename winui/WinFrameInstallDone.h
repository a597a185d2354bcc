#pragma once
#include "winui/WinFrame.h"

#include "winui/WinGradientButton.h"

// The installation is finished: open the product.
class TWinFrameInstallDone : public TWinFrame {
public:
    explicit TWinFrameInstallDone(IWinFrameHost& host);
    void Translate() override;

    TPictureItem* imgLines;
    TPictureItem* imgLogo;
    TWinLabel* lblProgress;
    TWinGradientButton* btnOpen;
};
