#include "wizard/WizardWindow.h"

#include <any>
#include <vector>

#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "wizard/WizardFrames.h"
#include "wizard/WizardView.h"

TWizardWindow::TWizardWindow(IWizardView& view, const TCommandLine& commandLine)
    : m_View(view), m_CmdInstall(commandLine.InstallType()), m_strCmdName(commandLine.Name()) {}

void TWizardWindow::StartEngine(std::unique_ptr<IInstallerEngine> engine, const TProxySettings& proxy,
                                const std::function<void()>& pumpPending) {
    m_Engine = std::move(engine);
    m_Engine->Start();
    m_Engine->WaitStart();
    if (pumpPending) pumpPending();
    m_InstallList.SetInstalls({});

    m_Engine->SetUnnatendedValues(m_strCmdName, m_CmdInstall);
    m_Engine->SetProxyConfig(proxy);
    m_Engine->VerifyPreviousInstall();
    // An unattended run installs what the server has; offering a newer
    // installer would need a click nobody makes.
    if (m_CmdInstall == citNone) m_Engine->VerifyInstallerHasUpdate();
}

void TWizardWindow::HandleMessage(TMessage& msg) {
    switch (msg.message) {
        case WM_SET_INSTALL_LIST:
            return SetInstallList(msg);
        case WM_SET_INSTALLER_HAS_UPDATE:
            m_bHasInstallerUpdate = true;
            return;
        case WM_CHANGE_VISIBLE_FRAME:
            return ChangeVisibleFrame(msg);
        case WM_SET_PROGRESS:
            return m_View.ReportProgress(static_cast<int64_t>(msg.wParam), msg.lParam);
        case WM_SET_PROGRESS_MSG:
            return m_View.SetStatusText(msg.text);
        case WM_SET_RETRY_MSG:
            return m_View.SetRetryText(msg.text);
        case WM_SET_ABORT_MSG:
            return m_View.SetAbortTexts(msg.text, msg.text2);
        case WM_SET_ERROR_MESSAGE:
            m_strErrorMessage = msg.text;
            return;
        case WM_SETUP_STATUS:
            if (msg.wParam == nSetupStatusRegistrationFailed) RegistrationFailed();
            return;
        case WM_RAISE_RUNNING_WINDOW:
            return m_View.RaiseWindow();
        case WM_QUIT:
            m_bRunEnded = true;
            return Quit();
        default:
            return;
    }
}

void TWizardWindow::SetInstallList(TMessage& msg) {
    std::vector<std::string> installs;
    if (auto* list = std::any_cast<std::vector<std::string>>(&msg.payload)) installs = std::move(*list);
    m_InstallList.SetInstalls(std::move(installs));
    m_View.InstallListChanged();
}

// The status text goes in after the showing: a showing puts the frame's own
// texts back and would overwrite it.
void TWizardWindow::ChangeVisibleFrame(const TMessage& msg) {
    const int index = TWizardFrames::FromMessage(msg.wParam);
    m_View.ShowFrame(index);
    if (index == fiProgress && !msg.text.empty()) m_View.SetStatusText(msg.text);
}

// The registration of a finished installation failed: the installation cannot
// be used, so the user gets the aborted frame with the support code.
void TWizardWindow::RegistrationFailed() {
    const std::string identifier = m_Engine ? m_Engine->Identifier() : std::string();
    m_View.SetAbortTexts(TWizardNavigation::RegistrationFailureText(m_strErrorMessage), identifier);
    m_View.ShowFrame(fiAborted);
}

void TWizardWindow::Go(TWizardButton button, const std::string& text) {
    const TWizardStep step = TWizardNavigation::OnButton(button, Facts(), text);
    if (step.nNextFrame != TWizardStep::nStay) m_View.ShowFrame(step.nNextFrame);
    for (const TWizardRequest& request : step.lstRequests) PostRequest(request.message, request.text);
    if (!step.strOpenAddress.empty()) m_View.OpenAddress(step.strOpenAddress);
    if (step.bQuit) Quit();
}

// Before the engine runs there is no thread to take a request; a button cannot
// be pressed then, so dropping it loses nothing.
void TWizardWindow::PostRequest(uint32_t message, std::string text) {
    if (m_Engine) m_Engine->PostThreadMessage(MakeMessage(message, 0, 0, std::move(text)));
}

void TWizardWindow::SetProxyConfig(const TProxySettings& proxy) {
    if (m_Engine) m_Engine->SetProxyConfig(proxy);
}

bool TWizardWindow::CloseQuery() {
    if (!TWizardFrames::AsksBeforeClosing(m_View.VisibleFrame())) return true;
    if (!m_View.AskYesNo(CloseQuestion(GetLanguage()))) return false;
    if (m_Engine && m_Engine->IsNewInstall()) m_Engine->UndoInstall();
    if (TWizardNavigation::CancelledRunFails(m_CmdInstall, m_bRunEnded, GetExitCode())) SetExitCode(ecUnexpected);
    return true;
}

void TWizardWindow::Quit() {
    if (m_Engine && TWizardNavigation::QuitUndoesInstall(m_CmdInstall, GetExitCode(), m_Engine->IsNewInstall()))
        m_Engine->UndoInstall();
    m_View.EndLoop();
}
