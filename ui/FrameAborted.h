#pragma once
#include <QLineEdit>

#include "ui/FrameBase.h"

class TGradientBitBtn;
class TPictureBox;

// fiAborted: an unrecoverable failure, with the support code to quote.
class TFrameAborted : public TFrameBase {
    Q_OBJECT
public:
    TFrameAborted(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void HandleMessage(const TMessage& msg) override;

    TGradientBitBtn* btnOK;
    TPictureBox* imgAlert;
    QLabel* lblAlert;
    QLineEdit* edtHardwareID;
};
