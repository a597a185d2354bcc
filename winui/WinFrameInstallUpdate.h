#pragma once
#include "winui/WinFrameInstall.h"

// Installations exist: a new one beside them, or the repair of one.
class TWinFrameInstallUpdate : public TWinFrameInstall {
public:
    explicit TWinFrameInstallUpdate(IWinFrameHost& host);
    void Translate() override;

    TWinGradientButton* btnUpdate;
};
