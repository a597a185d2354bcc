#pragma once
#include "ui/FrameBase.h"

class TGradientBitBtn;
class TPictureBox;

// fiRetry: a recoverable failure; "Retry" continues the run.
class TFrameRetry : public TFrameBase {
    Q_OBJECT
public:
    TFrameRetry(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void HandleMessage(const TMessage& msg) override;

    TGradientBitBtn* btnRetry;
    TPictureBox* imgAlert;
    QLabel* lblAlert;
    TLinkLabel* lblConfigInternet;
};
