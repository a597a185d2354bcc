#pragma once
#include "winui/WinFrame.h"

#include "winui/WinGradientButton.h"

// This installer is outdated: fetch the new one.
class TWinFrameUpdateInstaller : public TWinFrame {
public:
    explicit TWinFrameUpdateInstaller(IWinFrameHost& host);
    void Translate() override;

    TWinGradientButton* btnUpdate;
    TPictureItem* imgAlert;
    TWinLabel* lblAlert;
};
