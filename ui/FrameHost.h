#pragma once
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "ui/Pictures.h"
#include "wizard/InstallListModel.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardNavigation.h"
#include "wizard/WizardWindow.h"

class IUserPrompts;

// What a frame may ask of its main window. Every decision is the window
// logic's (Wizard()); the rest is drawing and dialogs. Window thread only.
class IFrameHost {
public:
    virtual ~IFrameHost() = default;
    virtual TWizardWindow& Wizard() = 0;
    virtual const TWizardWindow& Wizard() const = 0;
    virtual const TPictures& Pictures() const = 0;
    virtual IUserPrompts& Prompts() = 0;
    // The Internet settings dialog.
    virtual void ConfigInternet() = 0;
    // The window's close request (with its question where one is due).
    virtual void RequestClose() = 0;
    // The shell's "open" of a web address; failures go unnoticed.
    virtual void OpenAddress(const std::string& address) = 0;
    // Lets the window system move the window with the mouse (a press on the
    // frame's background).
    virtual void StartWindowMove() = 0;

    bool HasInstallerUpdate() const { return Wizard().HasInstallerUpdate(); }
    bool MultipleInstall() const { return Wizard().InstallList().MultipleInstall(); }
    // The installations found, and which one the user chose to repair.
    TInstallListModel& InstallList() { return Wizard().InstallList(); }
    const std::vector<std::string>& OldInstalls() const { return Wizard().InstallList().Installs(); }
};
