#pragma once
#include "winui/WinFrame.h"

#include "winui/WinGradientButton.h"
#include "winui/WinNative.h"

// The name of an additional installation.
class TWinFrameCreateInstall : public TWinFrame {
public:
    explicit TWinFrameCreateInstall(IWinFrameHost& host);
    void Translate() override;

    TPictureItem* imgLines;
    TPictureItem* imgLogo;
    TWinLabel* lblInstalado;
    TWinNative* edtNome;
    TWinGradientButton* btnInstall;

private:
    bool ValidateName();
    void InstallClick();
};
