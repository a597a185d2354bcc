#pragma once
#include <vector>

#include "winui/WinFrame.h"
#include "winui/WinGradientButton.h"
#include "winui/WinNative.h"

// The installation to repair, one radio button and label per installation
// found, centred in rows by TInstallListModel.
class TWinFrameSelectInstall : public TWinFrame {
public:
    explicit TWinFrameSelectInstall(IWinFrameHost& host);
    void Translate() override;
    // Builds the choices anew from the wizard's list; none is chosen.
    void UpdateInsallList();

    TWinGradientButton* btnInstall;
    TWinLabel* lblInstalado;
    TPictureItem* imgLines;
    TPictureItem* imgLogo;
    std::vector<TWinNative*> m_lstRadio;
    std::vector<TWinLabel*> m_lstLabel;

private:
    void ClearChoices();
    void AddChoice(int index, const std::string& key, int top);
    // The radio buttons show the wizard's choice.
    void ShowChoice();
};
