#pragma once
#include "winui/WinFrame.h"

// Frame 0: the background and the close picture only; the alert is kept hidden.
class TWinFrameCloseVantix : public TWinFrame {
public:
    explicit TWinFrameCloseVantix(IWinFrameHost& host);
    void Translate() override;

    TPictureItem* imgAlert;
    TWinLabel* lblAlert;
};
