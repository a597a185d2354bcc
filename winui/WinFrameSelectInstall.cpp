#include "winui/WinFrameSelectInstall.h"

#include "wizard/InstallListModel.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardTexts.h"
#include "wizard/WizardWindow.h"

namespace {

constexpr int kRadioSize = 13;

}  // namespace

TWinFrameSelectInstall::TWinFrameSelectInstall(IWinFrameHost& host)
    : TWinFrame(host, fiSelectInstall),
      btnInstall(NewButton("btnInstall", {240, 158, 120, 30})),
      lblInstalado(NewLabel("lblInstalado", {"Segoe UI Semibold", 13}, {0, 84, 600, 17})),
      imgLines(NewPicture("imgLines", host.Pictures().pngLines, {0, -19, 600, 223})),
      imgLogo(NewPicture("imgLogo", host.Pictures().pngLogoInstall, {235, 40, 0, 0})) {
    btnInstall->SetOnClick([this] { Go(TWizardButton::SelectInstallContinue, Logic().InstallList().ChosenName()); });
}

void TWinFrameSelectInstall::Translate() {
    ApplyText(lblInstalado, TFrameTextKey::SelectInstall_lblInstalado);
    ApplyText(btnInstall, TFrameTextKey::SelectInstall_btnInstall);
    LayoutLogo(*imgLogo, *imgLines);
    lblInstalado->Move(lblInstalado->Logical().x, imgLogo->rect.Bottom() + 12);
}

void TWinFrameSelectInstall::ClearChoices() {
    for (TWinNative* radio : m_lstRadio) Remove(radio);
    for (TWinLabel* label : m_lstLabel) Remove(label);
    m_lstRadio.clear();
    m_lstLabel.clear();
}

void TWinFrameSelectInstall::AddChoice(int index, const std::string& key, int top) {
    const std::string number = std::to_string(index);
    TWinNative* radio = Add<TWinNative>("radio" + number, TRect{30, top, kRadioSize, kRadioSize}, L"BUTTON",
                                        BS_RADIOBUTTON | WS_TABSTOP, TFontRequest{"Segoe UI", 11});
    radio->SetOnCommand([this, index](WORD code) {
        if (code != BN_CLICKED) return;
        Logic().InstallList().Choose(index);
        ShowChoice();
    });
    radio->SetOnKeyUp([this](WPARAM key) {
        if (key == VK_RETURN) btnInstall->Click();
    });
    m_lstRadio.push_back(radio);
    // A cell height of 15 pixels: a character height of 11.
    TWinLabel* label = NewLabel("choice" + number, {"Segoe UI", 11}, {0, top, 0, 0}, TLabelAlign::Left, false, false);
    label->SetText(TInstallListModel::DisplayText(key));
    label->AutoSize();
    label->SetOnClick([this, index] {
        Logic().InstallList().Toggle(index);
        ShowChoice();
    });
    m_lstLabel.push_back(label);
}

void TWinFrameSelectInstall::UpdateInsallList() {
    ClearChoices();
    const std::vector<std::string>& installs = Logic().InstallList().Installs();
    const int top = lblInstalado->Logical().Bottom() + 26;
    std::vector<int> labelWidths;
    for (size_t i = 0; i < installs.size(); ++i) {
        AddChoice(static_cast<int>(i), installs[i], top);
        labelWidths.push_back(m_lstLabel.back()->Logical().w);
    }
    const TInstallListModel::TLayout layout =
        TInstallListModel::Layout(labelWidths, kRadioSize, look::nFrameWidth, top);
    for (size_t i = 0; i < m_lstRadio.size(); ++i) {
        const TInstallListModel::TPlace& place = layout.lstPlaces[i];
        m_lstRadio[i]->Move(place.nRadioX, place.nY);
        m_lstRadio[i]->SetBackground(BackgroundPixel(place.nRadioX + 7, 129));
        m_lstLabel[i]->Move(place.nLabelX, place.nY);
    }
    if (layout.nButtonTop) btnInstall->Move(btnInstall->Logical().x, *layout.nButtonTop);
}

void TWinFrameSelectInstall::ShowChoice() {
    const int chosen = Logic().InstallList().Chosen();
    for (size_t i = 0; i < m_lstRadio.size(); ++i)
        SendMessageW(m_lstRadio[i]->Handle(), BM_SETCHECK,
                     static_cast<int>(i) == chosen ? BST_CHECKED : BST_UNCHECKED, 0);
}
