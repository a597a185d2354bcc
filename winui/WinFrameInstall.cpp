#include "winui/WinFrameInstall.h"

#include "base/Edition.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardTexts.h"
#include "wizard/WizardWindow.h"

namespace {

constexpr TFontRequest kSentenceFont{"Segoe UI", 12};
constexpr TFontRequest kLinkFont{"Segoe UI", 12, true};

}  // namespace

TWinFrameInstall::TWinFrameInstall(IWinFrameHost& host)
    : TWinFrameInstall(host, fiInstall, {240, 132, 120, 30},
                       {TFrameTextKey::Install_lblConfigInternet, TFrameTextKey::Install_lblText,
                        TFrameTextKey::Install_lblText2, TFrameTextKey::Install_lblLink,
                        TFrameTextKey::Install_btnInstall}) {
    btnInstall->SetOnClick([this] { Go(TWizardButton::InstallInstall); });
}

TWinFrameInstall::TWinFrameInstall(IWinFrameHost& host, int index, const TRect& installButton,
                                   const TSentenceKeys& keys)
    : TWinFrame(host, index),
      imgLines(NewPicture("imgLines", host.Pictures().pngLines, {-4, 6, 297, 223})),
      imgLogo(NewPicture("imgLogo", host.Pictures().pngLogoInstall, {235, 40, 0, 0})),
      btnInstall(NewButton("btnInstall", installButton)),
      lblConfigInternet(NewConfigInternetLink(keys.config)),
      Sentence(NewLabel("lblText", kSentenceFont, {}, TLabelAlign::Left, false, false),
               NewLabel("lblText2", kSentenceFont, {}, TLabelAlign::Left, false, false),
               NewLink("lblLink", kLinkFont, 0, 0, look::rgbLinkColor),
               NewLabel("lblDot", kSentenceFont, {}, TLabelAlign::Left, false, false)),
      m_Keys(keys) {
    Sentence.lblLink->SetOnClick([this] { Host().OpenAddress(edition::strContractUrl()); });
    for (auto [label, key] : {std::pair{Sentence.lblText, keys.text}, std::pair{Sentence.lblText2, keys.text2},
                              std::pair{Sentence.lblLink, keys.link}})
        label->SetText(FrameText(key, TWizardTexts::nBuildLanguage));
    btnInstall->SetCaption(FrameText(keys.install, TWizardTexts::nBuildLanguage));
}

void TWinFrameInstall::Translate() { btnInstall->Move(btnInstall->Logical().x, TranslateSentenceFrame()); }

int TWinFrameInstall::TranslateSentenceFrame() {
    ApplyText(lblConfigInternet, m_Keys.config);
    lblConfigInternet->AutoSize();
    ApplyText(Sentence.lblText, m_Keys.text);
    ApplyText(Sentence.lblText2, m_Keys.text2);
    ApplyText(Sentence.lblLink, m_Keys.link);
    ApplyText(btnInstall, m_Keys.install);
    LayoutLogo(*imgLogo, *imgLines);
    return Sentence.Layout(imgLogo->rect.Bottom() + 12, look::nFrameWidth) + 34;
}
