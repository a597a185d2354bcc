#pragma once
#include <QList>
#include <QRadioButton>

#include "ui/FrameBase.h"

class TGradientBitBtn;
class TLinkLabel;
class TPictureBox;

// Frame 8: choose the installation to repair among those found. The choices
// are a radio button and a label per installation, laid out in centred rows.
class TFrameSelectInstall : public TFrameBase {
    Q_OBJECT
public:
    TFrameSelectInstall(IFrameHost& host, QWidget* parent);
    void Translate() override;
    void Attach() override;

    // Rebuilds the choices from the window's list of installations.
    void UpdateInsallList();
    // The label of the first checked choice; empty when none is checked.
    std::string ChosenName() const;
    // The text a choice shows for a registry key name: the name after
    // "<product>_", or the key itself.
    static std::string DisplayText(const std::string& key);

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
    void InstallClick();
};
