#include "wizard/WizardNavigation.h"

#include "base/Edition.h"
#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"

namespace {

TWizardStep Show(int frame, std::vector<TWizardRequest> requests = {}) {
    TWizardStep step;
    step.nNextFrame = frame;
    step.lstRequests = std::move(requests);
    return step;
}

}  // namespace

TWizardStep TWizardNavigation::OnButton(TWizardButton button, const TWizardFacts& facts, const std::string& text) {
    switch (button) {
        case TWizardButton::InstallInstall:
            if (facts.bHasInstallerUpdate) return Show(fiUpdateInstaller);
            return Show(fiProgress, {{WM_SET_NEW_INSTALL, {}}, {WM_SETUP_DOWNLOADS, {}}});
        case TWizardButton::InstallUpdateInstall:
            if (facts.bHasInstallerUpdate) return Show(fiUpdateInstaller);
            // Beside other installations the new one needs its own name first.
            if (facts.bMultipleInstall) return Show(fiCreateInstall, {{WM_SET_NEW_INSTALL, {}}});
            return Show(fiProgress, {{WM_SET_NEW_INSTALL, {}}, {WM_SETUP_DOWNLOADS, {}}});
        case TWizardButton::InstallUpdateRepair:
            if (facts.bHasInstallerUpdate) return Show(fiUpdateInstaller);
            if (facts.bMultipleInstall) return Show(fiSelectInstall);
            return Show(fiProgress, {{WM_SET_UPDATE_ONLY, {}}, {WM_SETUP_DOWNLOADS, {}}});
        case TWizardButton::CreateInstallContinue:
            return Show(fiProgress, {{WM_SET_INSTALL_NAME, text}, {WM_SETUP_DOWNLOADS, {}}});
        case TWizardButton::SelectInstallContinue:
            return Show(fiProgress, {{WM_SET_INSTALL_NAME, text}, {WM_SET_UPDATE_ONLY, {}}, {WM_SETUP_DOWNLOADS, {}}});
        case TWizardButton::RetryRetry:
            return Show(fiProgress, {{WM_RETRY, {}}});
        case TWizardButton::InstallDoneOpen:
            return Show(TWizardStep::nStay, {{WM_RUN_VANTIX, {}}});
        case TWizardButton::AbortedOK: {
            TWizardStep step;
            step.bQuit = true;
            return step;
        }
        case TWizardButton::UpdateInstallerUpdate: {
            TWizardStep step;
            step.strOpenAddress = edition::strInstallerDownloadUrl() + edition::strInstallerExeName;
            step.bQuit = true;
            return step;
        }
    }
    return {};
}

bool TWizardNavigation::CancelledRunFails(TCmdInstallType cmdInstall, bool runEnded, int exitCode) {
    return cmdInstall != citNone && !runEnded && exitCode == ecSuccess;
}

bool TWizardNavigation::QuitUndoesInstall(TCmdInstallType cmdInstall, int exitCode, bool newInstall) {
    return cmdInstall == citInstall && exitCode != ecSuccess && newInstall;
}

std::string TWizardNavigation::RegistrationFailureText(const std::string& errorMessage) {
    return errorMessage.empty() ? txtUnexpectedError : errorMessage;
}
