#pragma once
#include "winui/WinFrame.h"

#include "winui/WinGradientButton.h"

// A failure the user may retry, with the Internet settings at hand.
class TWinFrameRetry : public TWinFrame {
public:
    explicit TWinFrameRetry(IWinFrameHost& host);
    void Translate() override;

    void SetMessage(const std::string& text);

    TWinGradientButton* btnRetry;
    TPictureItem* imgAlert;
    TWinLabel* lblAlert;
    TWinLabel* lblConfigInternet;
};
