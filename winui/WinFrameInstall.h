#pragma once
#include "winui/WinFrame.h"
#include "winui/WinGradientButton.h"
#include "winui/WinLicenceSentence.h"

// The first installation's offer, with the licence sentence and the Internet
// settings. Frame 4 (install or repair) is this frame with a second button.
class TWinFrameInstall : public TWinFrame {
public:
    explicit TWinFrameInstall(IWinFrameHost& host);
    void Translate() override;

    TPictureItem* imgLines;
    TPictureItem* imgLogo;
    TWinGradientButton* btnInstall;
    TWinLabel* lblConfigInternet;
    TWinLicenceSentence Sentence;

protected:
    // The texts of one frame of this shape.
    struct TSentenceKeys {
        TFrameTextKey config, text, text2, link, install;
    };
    TWinFrameInstall(IWinFrameHost& host, int index, const TRect& installButton, const TSentenceKeys& keys);
    // The texts, then the layout; returns the top of the button row.
    int TranslateSentenceFrame();

private:
    TSentenceKeys m_Keys;
};
