#pragma once
#include "winui/WinFrame.h"

#include "winui/WinProgressPanel.h"

// The status line and the progress bar of a run.
class TWinFrameProgress : public TWinFrame {
public:
    explicit TWinFrameProgress(IWinFrameHost& host);
    void Translate() override;

    void SetStatusText(const std::string& text);

    TPictureItem* imgLines;
    TPictureItem* imgLogo;
    TWinLabel* lblProgress;
    TWinProgressPanel* pbProgressBar;
};
