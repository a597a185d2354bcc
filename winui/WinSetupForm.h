#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "base/CommandLine.h"
#include "engine/InstallerEngine.h"
#include "platform/MessageTarget.h"
#include "winui/DpiScale.h"
#include "winui/WinFrameHost.h"
#include "winui/WinPictures.h"
#include "winui/WinPrompts.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardView.h"
#include "wizard/WizardWindow.h"

class TWinFrame;
class TWinFrameCloseVantix;
class TWinFrameCreateInstall;
class TWinFrameInstallDone;
class TWinFrameInstall;
class TWinFrameInstallUpdate;
class TWinFrameProgress;
class TWinFrameRetry;
class TWinFrameAborted;
class TWinFrameSelectInstall;
class TWinFrameUpdateInstaller;
class TWinInternetConfig;

// What the Win32 main window needs from the outside world, replaceable in tests.
struct TWinSetupFormServices {
    // Creates the engine that posts its messages to the window.
    std::function<std::unique_ptr<IInstallerEngine>(IMessageTarget& window)> fnCreateEngine;
    std::shared_ptr<IWinPrompts> prompts;                                     // default: message boxes
    std::function<bool(const std::string&)> fnShellOpen;                      // default: the shell's open
    std::function<std::string()> fnMachineId;                                 // default: MachineIdHex
    std::function<bool(std::string& host, std::string& port)> fnSystemProxy;  // default: GetSystemProxy
    std::function<bool(TWinInternetConfig&, HWND owner)> fnRunDialog;         // default: ShowModal
    std::function<void()> fnQuit;  // default: ends the message loop with the exit code
};

// The installer's main window in plain Win32: a borderless 600 x 250 window
// (class "TSetupForm") hosting the ten frames of TWizardFrames, of which at
// most one is visible, over the same wizard logic as the Qt window.
//
// Threads: Post may be called from any thread (it posts a window message);
// everything else runs on the window's thread.
class TWinSetupForm : public IMessageTarget, public IWizardView, public IWinFrameHost {
public:
    TWinSetupForm(const TCommandLine& commandLine, TWinSetupFormServices services);
    ~TWinSetupForm() override;
    TWinSetupForm(const TWinSetupForm&) = delete;
    TWinSetupForm& operator=(const TWinSetupForm&) = delete;

    // Loads the pictures, builds the frames and the proxy dialog, starts the
    // engine and sends it the first requests. False when a picture is missing
    // or broken: the user was told and the exit code is -1; nothing started.
    bool FormCreate();

    using IMessageTarget::Post;
    void Post(TMessage msg) override;
    // The keyboard preview of the message loop: Ctrl+C copies the machine
    // identifier whichever control has the focus. The key still goes on.
    void PreviewKey(const MSG& msg);

    // IWizardView
    void ShowFrame(int index) override;
    int VisibleFrame() const override;
    void ReportProgress(int64_t done, int64_t total) override;
    void SetStatusText(const std::string& text) override;
    void SetRetryText(const std::string& text) override;
    void SetAbortTexts(const std::string& text, const std::string& identifier) override;
    void InstallListChanged() override;
    void RaiseWindow() override;
    bool AskYesNo(const TMessageBoxText& question) override;
    void OpenAddress(const std::string& address) override;
    void EndLoop() override;

    // IWinFrameHost
    HWND Handle() const override { return m_hWnd; }
    TWizardWindow& Logic() override { return m_Logic; }
    const TWinPictures& Pictures() const override { return m_Pictures; }
    const TDpiScale& Scale() const override { return m_Scale; }
    void ConfigInternet() override;
    void RequestClose() override;
    void StartWindowMove() override;
    void ShowInfo(const std::string& caption, const std::string& text) override;

    // Lays the window out for a monitor of `dpi`, at `suggested` when given
    // (Windows' rectangle for the new monitor), else in place.
    void ChangeDpi(int dpi, const RECT* suggested = nullptr);
    // The frame of an index of TWizardFrames, or null.
    TWinFrame* Frame(int index) const;
    TWinInternetConfig& InternetConfig() const { return *m_InternetConfig; }

    TWinFrameCloseVantix* m_FrameCloseVantix = nullptr;
    TWinFrameCreateInstall* m_FrameCreateInstall = nullptr;
    TWinFrameInstallDone* m_FrameInstallDone = nullptr;
    TWinFrameInstall* m_FrameInstall = nullptr;
    TWinFrameInstallUpdate* m_FrameInstallUpdate = nullptr;
    TWinFrameProgress* m_FrameProgress = nullptr;
    TWinFrameRetry* m_FrameRetry = nullptr;
    TWinFrameAborted* m_FrameAborted = nullptr;
    TWinFrameSelectInstall* m_FrameSelectInstall = nullptr;
    TWinFrameUpdateInstaller* m_FrameUpdateInstaller = nullptr;

private:
    template <class TOwner, LRESULT (TOwner::*)(UINT, WPARAM, LPARAM)>
    friend LRESULT CALLBACK OwnerWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateWindowHandle();
    void CreateFrames();
    void AttachFrames();
    void StartEngine();
    void TakePosted(LPARAM lParam);
    void Close();
    void CopyMachineId() const;
    // Makes the frame of `index` and keeps it in its place of the table.
    template <class TFrame>
    TFrame* NewFrame(TFrameIndex index);

    TWinSetupFormServices m_Services;
    TCommandLine m_CommandLine;
    TWizardWindow m_Logic;
    TWinPictures m_Pictures;
    TDpiScale m_Scale;
    HWND m_hWnd = nullptr;
    std::array<std::unique_ptr<TWinFrame>, TWizardFrames::nCount> m_Frames;
    std::unique_ptr<TWinInternetConfig> m_InternetConfig;
    bool m_bClosing = false;
};
