#pragma once
#include "ui/FrameBase.h"

class TPictureBox;
class TProgressPanel;

// fiProgress: the status line and the progress bar.
class TFrameProgress : public TFrameBase {
    Q_OBJECT
public:
    TFrameProgress(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void Attach() override;
    void HandleMessage(const TMessage& msg) override;
    void SetStatusText(const std::string& text);

    TPictureBox* imgLines;
    TPictureBox* imgLogo;
    QLabel* lblProgress;
    TProgressPanel* pbProgressBar = nullptr;  // made when the window attaches the frame
};
