#include "wizard/WizardTexts.h"

#include <array>
#include <vector>

#include "wizard/WizardFrames.h"

namespace {

using K = TFrameTextKey;

const std::array<std::vector<TFrameTextKey>, TWizardFrames::nCount>& FrameKeys() {
    static const std::array<std::vector<TFrameTextKey>, TWizardFrames::nCount> keys = {{
        /* fiCloseVantix */ {},
        /* fiCreateInstall */ {K::CreateInstall_lblInstalado, K::CreateInstall_btnInstall, K::NamePlaceholder},
        /* fiInstallDone */ {K::InstallDone_lblProgress, K::InstallDone_btnOpen},
        /* fiInstall */
        {K::Install_lblConfigInternet, K::Install_lblText, K::Install_lblText2, K::Install_lblLink, K::Install_lblDot,
         K::Install_btnInstall},
        /* fiInstallUpdate */
        {K::InstallUpdate_lblConfigInternet, K::InstallUpdate_lblText, K::InstallUpdate_lblText2,
         K::InstallUpdate_lblLink, K::InstallUpdate_lblDot, K::InstallUpdate_btnUpdate, K::InstallUpdate_btnInstall},
        /* fiProgress */ {K::Progress_lblProgress},
        /* fiRetry */ {K::Retry_lblConfigInternet, K::Retry_btnRetry},
        /* fiAborted */ {K::Aborted_btnOK},
        /* fiSelectInstall */ {K::SelectInstall_lblInstalado, K::SelectInstall_btnInstall},
        /* fiUpdateInstaller */ {K::UpdateInstaller_lblAlert, K::UpdateInstaller_btnUpdate},
    }};
    return keys;
}

}  // namespace

std::span<const TFrameTextKey> TWizardTexts::Keys(int frame) {
    if (!TWizardFrames::Contains(frame)) return {};
    return FrameKeys()[static_cast<size_t>(frame)];
}

bool TWizardTexts::WrittenOnShowing(TFrameTextKey key, uint8_t language) {
    if (FrameTextRule(key) == ftrFixed) return false;
    return language == lngEnglish || language == lngSpanish || FrameTextSetForPortuguese(key);
}

bool TWizardTexts::NameFrameTranslates(uint8_t language) { return language == lngEnglish || language == lngSpanish; }
