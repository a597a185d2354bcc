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

// A window-only message: a second copy of the installer asked the running one
// to come to the front.
inline constexpr uint32_t WM_RAISE_RUNNING_WINDOW = 0x8001;

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
// of TWizardFrames, of which at most one is visible. It owns the installer engine,
// hands it the command-line mode, the proxy settings and the first requests, and
// then reacts to the messages the engine posts: each shows a frame or feeds a
// frame with data.
//
// Threads: Post may be called from any thread (it posts a Qt event to the
// window); everything else runs on the window's thread.
class TSetupForm : public QWidget, public IMessageTarget, public IFrameHost {
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
    void SetVisibleFrame(int index) override;
    void PostRequest(uint32_t message, std::string text = {}) override;
    bool HasInstallerUpdate() const override { return m_bHasInstallerUpdate; }
    bool MultipleInstall() const override { return m_InstallList.MultipleInstall(); }
    const std::vector<std::string>& OldInstalls() const override { return m_InstallList.Installs(); }
    TInstallListModel& InstallList() override { return m_InstallList; }
    TCmdInstallType CmdInstall() const override { return m_CmdInstall; }
    const TPictures& Pictures() const override { return m_Pictures; }
    IUserPrompts& Prompts() override { return *m_Services.prompts; }
    void ConfigInternet() override;
    void RequestClose() override;
    void Quit() override;
    void OpenAddress(const std::string& address) override;
    void StartWindowMove() override;

    // The frame of an index of TWizardFrames, and the visible one (nNoFrame for none).
    TFrameBase* Frame(int index) const;
    int VisibleFrame() const;
    TInternetConfig& InternetConfig() const { return *m_InternetConfig; }
    const std::string& CmdName() const { return m_strCmdName; }

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
    void HandleMessage(TMessage& msg);
    void SetInstallList(TMessage& msg);
    void ChangeVisibleFrame(const TMessage& msg);
    void RegistrationFailed(const TMessage& msg);
    void RaiseWindow();
    bool FormCloseQuery();
    // Makes the frame of `index` and keeps it in its place of the table.
    template <class TFrame>
    TFrame* NewFrame(TFrameIndex index);

    TSetupFormServices m_Services;
    TCommandLine m_CommandLine;
    TPictures m_Pictures;
    std::unique_ptr<IInstallerEngine> m_InstallerThread;
    TInternetConfig* m_InternetConfig = nullptr;
    std::array<TFrameBase*, TWizardFrames::nCount> m_Frames{};
    TInstallListModel m_InstallList;
    bool m_bHasInstallerUpdate = false;
    TCmdInstallType m_CmdInstall = citNone;
    bool m_bRunEnded = false;  // the engine asked the window to quit
    std::string m_strCmdName;
    std::string m_strErrorMessage;  // the text of a failed registration
    bool m_bClosing = false;
};
