#pragma once
#include <QList>
#include <QRadioButton>

#include "ui/FrameBase.h"

class TGradientBitBtn;
class TLinkLabel;
class TPictureBox;

// fiSelectInstall: choose the installation to repair among those found. The
// choices are a radio button and a label per installation, laid out in centred
// rows; the host's TInstallListModel holds the list and the choice.
class TFrameSelectInstall : public TFrameBase {
    Q_OBJECT
public:
    TFrameSelectInstall(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void Attach() override;

    // Rebuilds the choices from the window's list of installations.
    void UpdateInsallList();
    // The text of the chosen installation; empty when none is chosen.
    std::string ChosenName() const;

    TGradientBitBtn* btnInstall;
    QLabel* lblInstalado;
    TPictureBox* imgLines;
    TPictureBox* imgLogo;
    QList<QRadioButton*> m_lstRadio;
    QList<TLinkLabel*> m_lstLabel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ClearChoices();
    // Checks the radio buttons as the model's choice says.
    void ShowChoice();
    void InstallClick();
};
