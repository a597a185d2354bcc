#pragma once
#include "ui/FrameBase.h"

class TGradientBitBtn;
class TPictureBox;

// fiUpdateInstaller: this installer is outdated; "Update" opens the new one's download
// address and ends the run.
class TFrameUpdateInstaller : public TFrameBase {
    Q_OBJECT
public:
    TFrameUpdateInstaller(IFrameHost& host, QWidget* parent);
    void Translate() override;

    TGradientBitBtn* btnUpdate;
    TPictureBox* imgAlert;
    QLabel* lblAlert;
};
