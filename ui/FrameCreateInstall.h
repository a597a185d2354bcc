#pragma once
#include <QLineEdit>

#include "ui/FrameBase.h"

class TGradientBitBtn;
class TPictureBox;

// fiCreateInstall: the name of an additional installation.
class TFrameCreateInstall : public TFrameBase {
    Q_OBJECT
public:
    TFrameCreateInstall(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void Attach() override;

    // Checks the box's name by TNewInstallationName; tells the user why it is
    // refused.
    bool ValidateName();

    TPictureBox* imgLines;
    TPictureBox* imgLogo;
    QLabel* lblInstalado;
    QLineEdit* edtNome;
    TGradientBitBtn* btnInstall;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InstallClick();
};
