#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "ui/Pictures.h"
#include "wizard/InstallListModel.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardNavigation.h"

class IUserPrompts;

// What a frame may ask of its main window. Window thread only.
class IFrameHost {
public:
    virtual ~IFrameHost() = default;
    // Shows frame `index` of TWizardFrames, or none for any other value.
    virtual void SetVisibleFrame(int index) = 0;
    // Posts a request to the installer thread; `text` travels with it.
    virtual void PostRequest(uint32_t message, std::string text = {}) = 0;
    virtual bool HasInstallerUpdate() const = 0;
    virtual bool MultipleInstall() const = 0;
    virtual const std::vector<std::string>& OldInstalls() const = 0;
    // The installations found, and which one the user chose to repair.
    virtual TInstallListModel& InstallList() = 0;
    TWizardFacts Facts() const { return {HasInstallerUpdate(), MultipleInstall()}; }
    virtual TCmdInstallType CmdInstall() const = 0;
    virtual const TPictures& Pictures() const = 0;
    virtual IUserPrompts& Prompts() = 0;
    // The Internet settings dialog.
    virtual void ConfigInternet() = 0;
    // The window's close request (with its question where one is due).
    virtual void RequestClose() = 0;
    // Ends the window's message loop; the exit code is left as it is.
    virtual void Quit() = 0;
    // The shell's "open" of a web address; failures go unnoticed.
    virtual void OpenAddress(const std::string& address) = 0;
    // Lets the window system move the window with the mouse (a press on the
    // frame's background).
    virtual void StartWindowMove() = 0;
};
