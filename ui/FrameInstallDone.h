#pragma once
#include "ui/FrameBase.h"

class TGradientBitBtn;
class TPictureBox;

// fiInstallDone: the installation finished; "Open" starts the product.
class TFrameInstallDone : public TFrameBase {
    Q_OBJECT
public:
    TFrameInstallDone(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void Attach() override;

    TPictureBox* imgLines;
    TPictureBox* imgLogo;
    QLabel* lblProgress;
    TGradientBitBtn* btnOpen;
};
