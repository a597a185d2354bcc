#pragma once
#include "ui/FrameBase.h"
#include "ui/LicenceSentence.h"

class TGradientBitBtn;
class TPictureBox;

// fiInstall: the first installation offer, with the licence sentence.
class TFrameInstall : public TFrameBase {
    Q_OBJECT
public:
    TFrameInstall(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void Attach() override;

    TPictureBox* imgLines;
    TPictureBox* imgLogo;
    TGradientBitBtn* btnInstall;
    TLinkLabel* lblConfigInternet;
    TLicenceSentence Sentence;

private:
    void InstallClick();
};
