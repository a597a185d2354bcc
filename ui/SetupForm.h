#pragma once
#include <QDialog>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "engine/InstallerEngine.h"
#include "platform/MessageTarget.h"
#include "ui/FrameHost.h"
#include "ui/Pictures.h"
#include "ui/UserPrompts.h"
#include "wizard/WizardView.h"
#include "wizard/WizardWindow.h"

class TFrameBase;
class TFrameCloseVantix;
class TFrameCreateInstall;
class TFrameInstallDone;
class TFrameInstall;
class TFrameInstallUpdate;
class TFrameProgress;
class TFrameRetry;
class TFrameAborted;
class TFrameSelectInstall;
class TFrameUpdateInstaller;
class TInternetConfig;

// What the main window needs from the outside world, replaceable in tests.
struct TSetupFormServices {
    // Creates the engine that posts its messages to the window.
    std::function<std::unique_ptr<IInstallerEngine>(IMessageTarget& window)> fnCreateEngine;
    std::shared_ptr<IUserPrompts> prompts = std::make_shared<TMessageBoxPrompts>();
    std::function<bool(const std::string&)> fnShellOpen;              // default: the shell's open
    std::function<std::string()> fnMachineId;                         // default: MachineIdHex
    std::function<bool(std::string& host, std::string& port)> fnSystemProxy;  // default: GetSystemProxy
    std::function<int(QDialog&)> fnExecDialog;                        // default: QDialog::exec
    std::function<void()> fnQuit;                                     // default: ends the Qt event loop
    QString strPicturePrefix = QStringLiteral(":/pictures/");
};

// The installer's main window: a borderless 600 x 250 panel hosting the frames
// of TWizardFrames, of which at most one is visible. What it shows and when is
// decided by its window logic (TWizardWindow), which owns the engine; this
// class draws: the frames, the dialogs, the Qt events.
//
// Threads: Post may be called from any thread (it posts a Qt event to the
// window); everything else runs on the window's thread.
class TSetupForm : public QWidget, public IMessageTarget, public IFrameHost, public IWizardView {
    Q_OBJECT
public:
    TSetupForm(const TCommandLine& commandLine, TSetupFormServices services);
    ~TSetupForm() override;

    // Loads the pictures, builds the frames and the proxy dialog, starts the
    // engine and sends it the first requests. False when a picture is missing or
    // broken: the user was told and the exit code is -1; nothing was started.
    bool FormCreate();

    using IMessageTarget::Post;
    void Post(TMessage msg) override;

    // IFrameHost
    TWizardWindow& Wizard() override { return m_Wizard; }
    const TWizardWindow& Wizard() const override { return m_Wizard; }
    const TPictures& Pictures() const override { return m_Pictures; }
    IUserPrompts& Prompts() override { return *m_Services.prompts; }
    void ConfigInternet() override;
    void RequestClose() override;
    void StartWindowMove() override;

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
    // Also the frames' (IFrameHost) links.
    void OpenAddress(const std::string& address) override;
    void EndLoop() override;

    // The frame of an index of TWizardFrames (null for any other value).
    TFrameBase* Frame(int index) const;
    // The screenshot tool's name for ShowFrame.
    void SetVisibleFrame(int index) { ShowFrame(index); }
    TInternetConfig& InternetConfig() const { return *m_InternetConfig; }
    const std::string& CmdName() const { return m_Wizard.CmdName(); }

    TFrameCloseVantix* m_FrameCloseVantix = nullptr;
    TFrameCreateInstall* m_FrameCreateInstall = nullptr;
    TFrameInstallDone* m_FrameInstallDone = nullptr;
    TFrameInstall* m_FrameInstall = nullptr;
    TFrameInstallUpdate* m_FrameInstallUpdate = nullptr;
    TFrameProgress* m_FrameProgress = nullptr;
    TFrameRetry* m_FrameRetry = nullptr;
    TFrameAborted* m_FrameAborted = nullptr;
    TFrameSelectInstall* m_FrameSelectInstall = nullptr;
    TFrameUpdateInstaller* m_FrameUpdateInstaller = nullptr;

protected:
    void customEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Keyboard preview: Ctrl+C copies the machine identifier whichever control
    // has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateFrames();
    void AttachFrames();
    void StartEngine();
    // Makes the frame of `index` and keeps it in its place of the table.
    template <class TFrame>
    TFrame* NewFrame(TFrameIndex index);

    TSetupFormServices m_Services;
    TWizardWindow m_Wizard;
    TPictures m_Pictures;
    TInternetConfig* m_InternetConfig = nullptr;
    std::array<TFrameBase*, TWizardFrames::nCount> m_Frames{};
    bool m_bClosing = false;
};
