#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/CommandLine.h"

// The buttons that move the wizard on, named by frame and button.
enum class TWizardButton : uint8_t {
    InstallInstall,         // first installation
    InstallUpdateInstall,   // a new installation beside those found
    InstallUpdateRepair,    // repair of one found
    CreateInstallContinue,  // the new installation's name was accepted
    SelectInstallContinue,  // repair of the chosen installation
    RetryRetry,
    InstallDoneOpen,
    AbortedOK,
    UpdateInstallerUpdate,
};

// What the engine has told the window so far and the buttons depend on.
struct TWizardFacts {
    bool bHasInstallerUpdate = false;  // a newer installer must be fetched first
    bool bMultipleInstall = false;     // installations were found
};

struct TWizardRequest {
    uint32_t message;
    std::string text;
    bool operator==(const TWizardRequest&) const = default;
};

// The outcome of a button: the frame to show (or none to change), then the
// requests for the installer thread, the address to open and whether the
// window ends its loop, in that order.
struct TWizardStep {
    static constexpr int nStay = -2;  // the visible frame stays
    int nNextFrame = nStay;
    std::vector<TWizardRequest> lstRequests;
    std::string strOpenAddress;
    bool bQuit = false;
};

// The wizard's decisions, free of any toolkit, so that every window over the
// same engine moves alike.
class TWizardNavigation {
public:
    // `text` is what the frame contributes: the name typed or chosen.
    static TWizardStep OnButton(TWizardButton button, const TWizardFacts& facts, const std::string& text = {});

    // A closed window during an unattended run that the engine has not ended:
    // the calling software must not be told that a cancelled run succeeded.
    static bool CancelledRunFails(TCmdInstallType cmdInstall, bool runEnded, int exitCode);
    // A new installation that failed unattended leaves none of its unpacked
    // files behind, as without a window: nobody is there to retry.
    static bool QuitUndoesInstall(TCmdInstallType cmdInstall, int exitCode, bool newInstall);
    // The aborted frame's text after a failed registration: the engine's last
    // error text, or the general one.
    static std::string RegistrationFailureText(const std::string& errorMessage);
};
