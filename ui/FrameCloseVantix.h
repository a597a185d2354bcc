#pragma once
#include "ui/FrameBase.h"

class TPictureBox;

// fiCloseVantix: the background and the close picture only; no engine path shows it.
class TFrameCloseVantix : public TFrameBase {
    Q_OBJECT
public:
    TFrameCloseVantix(IFrameHost& host, QWidget* parent);
    void Translate() override;

    TPictureBox* imgAlert;
    QLabel* lblAlert;
};
