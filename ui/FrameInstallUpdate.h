#pragma once
#include "ui/FrameBase.h"
#include "ui/LicenceSentence.h"

class TGradientBitBtn;
class TPictureBox;

// fiInstallUpdate: installations exist; a new installation or a repair.
class TFrameInstallUpdate : public TFrameBase {
    Q_OBJECT
public:
    TFrameInstallUpdate(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void Attach() override;

    TPictureBox* imgLines;
    TPictureBox* imgLogo;
    TGradientBitBtn* btnUpdate;   // repair
    TGradientBitBtn* btnInstall;  // new installation
    TLinkLabel* lblConfigInternet;
    TLicenceSentence Sentence;

private:
    void InstallClick();
    void UpdateClick();
};
