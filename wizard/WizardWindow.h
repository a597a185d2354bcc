#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/CommandLine.h"
#include "engine/InstallerEngine.h"
#include "platform/Message.h"
#include "service/ProxySettings.h"
#include "wizard/InstallListModel.h"
#include "wizard/WizardNavigation.h"

class IWizardView;

// A window-only message: a second copy of the installer asked the running one
// to come to the front.
inline constexpr uint32_t WM_RAISE_RUNNING_WINDOW = 0x8001;

// The main window's logic without a toolkit: it owns the installer engine,
// hands it the command-line mode, the proxy settings and the first requests,
// turns the engine's messages into what the view shows, and decides the close
// question, the undo of a cancelled new installation and the exit code. The Qt
// window and the Win32 window hold one each and differ only in drawing.
// Window thread only.
class TWizardWindow {
public:
    TWizardWindow(IWizardView& view, const TCommandLine& commandLine);

    // Starts the engine, waits for its loop, then sends the first requests in
    // order: unattended values, proxy, previous installations and, without a
    // command-line mode, the installer update check. `pumpPending` runs once
    // after the engine is ready: the window's pending messages are processed.
    void StartEngine(std::unique_ptr<IInstallerEngine> engine, const TProxySettings& proxy,
                     const std::function<void()>& pumpPending = {});

    // A message the engine (or the window itself) posted.
    void HandleMessage(TMessage& msg);

    // Carries out what TWizardNavigation decides for a frame's button: the
    // frame to show, the requests, the address to open, the end of the loop.
    void Go(TWizardButton button, const std::string& text = {});
    void PostRequest(uint32_t message, std::string text = {});
    void SetProxyConfig(const TProxySettings& proxy);

    // The close request: asks when the visible frame asks before closing; on
    // Yes undoes a new installation and sets the exit code of a cancelled
    // unattended run. False: the window stays.
    bool CloseQuery();
    // Ends the loop, first undoing a new installation that failed unattended.
    void Quit();

    TWizardFacts Facts() const { return {m_bHasInstallerUpdate, m_InstallList.MultipleInstall()}; }
    bool HasInstallerUpdate() const { return m_bHasInstallerUpdate; }
    TInstallListModel& InstallList() { return m_InstallList; }
    const TInstallListModel& InstallList() const { return m_InstallList; }
    TCmdInstallType CmdInstall() const { return m_CmdInstall; }
    const std::string& CmdName() const { return m_strCmdName; }
    IInstallerEngine* Engine() const { return m_Engine.get(); }

private:
    void SetInstallList(TMessage& msg);
    void ChangeVisibleFrame(const TMessage& msg);
    void RegistrationFailed();

    IWizardView& m_View;
    std::unique_ptr<IInstallerEngine> m_Engine;
    TInstallListModel m_InstallList;
    TCmdInstallType m_CmdInstall;
    std::string m_strCmdName;
    bool m_bHasInstallerUpdate = false;
    bool m_bRunEnded = false;      // the engine asked the window to quit
    std::string m_strErrorMessage;  // the text of a failed registration
};
