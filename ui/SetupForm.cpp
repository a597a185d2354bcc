#include "ui/SetupForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include "base/EditionConstants.h"
#include "base/ExitCode.h"
#include "base/Texts.h"
#include "diagnostics/Log.h"
#include "diagnostics/MachineIdentity.h"
#include "base/MessageIds.h"
#include "platform/Shell.h"
#include "service/ProxySettings.h"
#include "ui/Fonts.h"
#include "ui/FrameAborted.h"
#include "ui/FrameCloseVantix.h"
#include "ui/FrameCreateInstall.h"
#include "ui/FrameInstall.h"
#include "ui/FrameInstallDone.h"
#include "ui/FrameInstallUpdate.h"
#include "ui/FrameProgress.h"
#include "ui/FrameRetry.h"
#include "ui/FrameSelectInstall.h"
#include "ui/FrameUpdateInstaller.h"
#include "ui/InternetConfig.h"
#include "ui/LookConstants.h"
#include "ui/PostedMessageEvent.h"

namespace {

void FillDefaults(TSetupFormServices& s) {
    if (!s.prompts) s.prompts = std::make_shared<TMessageBoxPrompts>();
    if (!s.fnShellOpen) s.fnShellOpen = [](const std::string& target) { return ShellOpen(target); };
    if (!s.fnMachineId) s.fnMachineId = [] { return MachineIdHex(); };
    if (!s.fnSystemProxy) s.fnSystemProxy = [](std::string& host, std::string& port) {
        return GetSystemProxy(host, port);
    };
    if (!s.fnExecDialog) s.fnExecDialog = [](QDialog& dialog) { return dialog.exec(); };
    if (!s.fnQuit) s.fnQuit = [] { QCoreApplication::exit(GetExitCode()); };
}

// Frames whose closing needs no question: nothing is running behind them.
bool ClosesWithoutQuestion(int frame) {
    switch (frame) {
        case fiInstallDone:
        case fiRetry:
        case fiAborted:
        case fiInstall:
        case fiCreateInstall:
        case fiInstallUpdate:
        case fiSelectInstall:
        case fiUpdateInstaller:
            return true;
        default:
            return false;
    }
}

}  // namespace

TSetupForm::TSetupForm(const TCommandLine& commandLine, TSetupFormServices services)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Window),
      m_Services(std::move(services)),
      m_CommandLine(commandLine) {
    FillDefaults(m_Services);
    setObjectName(QStringLiteral("TSetupForm"));
    setFixedSize(look::nFrameWidth, look::nFrameHeight);
    setFont(UiFont("Segoe UI", 11));
    setWindowTitle(QString::fromUtf8(edition::strWindowCaption));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TSetupForm::~TSetupForm() { qApp->removeEventFilter(this); }

bool TSetupForm::FormCreate() {
    QThread::currentThread()->setObjectName(QStringLiteral("TSetupForm"));
    try {
        m_Pictures = LoadPictures(m_Services.strPicturePrefix);
    } catch (const std::exception& e) {
        AppendLog(std::string("TSetupForm.LoadImages: Except: ") + e.what());
        const TMessageBoxText message = ImageFailureMessage(GetLanguage());
        m_Services.prompts->ShowError(this, message.strCaption, message.strText);
        SetExitCode(ecUnexpected);
        return false;
    }
    m_CmdInstall = m_CommandLine.InstallType();
    m_strCmdName = m_CommandLine.Name();
    m_bHasInstallerUpdate = false;
    CreateFrames();
    SetVisibleFrame(nNoFrame);
    AttachFrames();
    m_InternetConfig = new TInternetConfig(this);
    qApp->installEventFilter(this);
    StartEngine();
    return true;
}

void TSetupForm::CreateFrames() {
    m_FrameCloseVantix = new TFrameCloseVantix(*this, this);
    m_FrameCreateInstall = new TFrameCreateInstall(*this, this);
    m_FrameInstallDone = new TFrameInstallDone(*this, this);
    m_FrameInstall = new TFrameInstall(*this, this);
    m_FrameInstallUpdate = new TFrameInstallUpdate(*this, this);
    m_FrameProgress = new TFrameProgress(*this, this);
    m_FrameRetry = new TFrameRetry(*this, this);
    m_FrameAborted = new TFrameAborted(*this, this);
    m_FrameSelectInstall = new TFrameSelectInstall(*this, this);
    m_FrameUpdateInstaller = new TFrameUpdateInstaller(*this, this);
}

void TSetupForm::AttachFrames() {
    for (TFrameBase* frame : std::initializer_list<TFrameBase*>{
             m_FrameCloseVantix, m_FrameCreateInstall, m_FrameInstallDone, m_FrameInstallUpdate, m_FrameProgress,
             m_FrameRetry, m_FrameAborted, m_FrameSelectInstall, m_FrameInstall, m_FrameUpdateInstaller})
        frame->Attach();
}

void TSetupForm::StartEngine() {
    m_InstallerThread = m_Services.fnCreateEngine(*this);
    m_InstallerThread->Start();
    m_InstallerThread->WaitStart();
    QCoreApplication::processEvents();

    const TProxySettings proxy = SystemProxySettings(m_Services.fnSystemProxy);
    m_InternetConfig->SelectChoice(proxy.FHost.empty() ? TInternetConfig::pcNone : TInternetConfig::pcBrowser);
    m_lstOldInstalls.clear();

    m_InstallerThread->SetUnnatendedValues(m_strCmdName, m_CmdInstall);
    m_InstallerThread->SetProxyConfig(proxy);
    m_InstallerThread->VerifyPreviousInstall();
    if (m_CmdInstall == citNone) m_InstallerThread->VerifyInstallerHasUpdate();
}

std::array<TFrameBase*, 10> TSetupForm::Frames() const {
    return {m_FrameCloseVantix, m_FrameCreateInstall, m_FrameInstallDone,  m_FrameInstall,
            m_FrameInstallUpdate, m_FrameProgress,    m_FrameRetry,        m_FrameAborted,
            m_FrameSelectInstall, m_FrameUpdateInstaller};
}

TFrameBase* TSetupForm::Frame(int index) const {
    if (index < 0 || index > 9) return nullptr;
    return Frames()[static_cast<size_t>(index)];
}

int TSetupForm::VisibleFrame() const {
    const auto frames = Frames();
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i] && frames[i]->isVisibleTo(this)) return static_cast<int>(i);
    return nNoFrame;
}

// Every showing re-applies the frame's texts, so a frame shown again starts
// from its language texts.
void TSetupForm::SetVisibleFrame(int index) {
    for (TFrameBase* frame : Frames())
        if (frame) frame->hide();
    if (TFrameBase* frame = Frame(index)) {
        frame->Translate();
        frame->show();
        frame->raise();
        show();
    }
    update();
}

void TSetupForm::Post(TMessage msg) {
    QCoreApplication::postEvent(this, new TPostedMessageEvent(std::move(msg)));
}

void TSetupForm::PostRequest(uint32_t message, std::string text) {
    TMessage msg;
    msg.message = message;
    msg.text = std::move(text);
    m_InstallerThread->PostThreadMessage(std::move(msg));
}

void TSetupForm::customEvent(QEvent* event) {
    if (event->type() != TPostedMessageEvent::EventType()) return QWidget::customEvent(event);
    HandleMessage(static_cast<TPostedMessageEvent*>(event)->Message());
}

void TSetupForm::HandleMessage(TMessage& msg) {
    switch (msg.message) {
        case WM_SET_INSTALL_LIST:
            return SetInstallList(msg);
        case WM_SET_INSTALLER_HAS_UPDATE:
            m_bHasInstallerUpdate = true;
            return;
        case WM_CHANGE_VISIBLE_FRAME:
            return ChangeVisibleFrame(msg);
        case WM_SET_PROGRESS:
        case WM_SET_PROGRESS_MSG:
            return m_FrameProgress->HandleMessage(msg);
        case WM_SET_RETRY_MSG:
            return m_FrameRetry->HandleMessage(msg);
        case WM_SET_ABORT_MSG:
            return m_FrameAborted->HandleMessage(msg);
        case WM_SET_ERROR_MESSAGE:
            m_strErrorMessage = msg.text;
            return;
        case WM_SETUP_STATUS:
            if (msg.wParam == nSetupStatusRegistrationFailed) RegistrationFailed(msg);
            return;
        case WM_RAISE_RUNNING_WINDOW:
            return RaiseWindow();
        case WM_QUIT:
            m_bRunEnded = true;
            return Quit();
        default:
            return;
    }
}

void TSetupForm::SetInstallList(TMessage& msg) {
    m_lstOldInstalls.clear();
    if (auto* list = std::any_cast<std::vector<std::string>>(&msg.payload)) m_lstOldInstalls = std::move(*list);
    m_bMultipleInstall = !m_lstOldInstalls.empty();
    m_FrameSelectInstall->UpdateInsallList();
}

void TSetupForm::ChangeVisibleFrame(const TMessage& msg) {
    const int index = static_cast<int>(msg.wParam & 0xFF);
    SetVisibleFrame(index <= fiUpdateInstaller ? index : nNoFrame);
    if (index == fiProgress && !msg.text.empty()) m_FrameProgress->SetStatusText(msg.text);
}

// The registration of a finished installation failed: the installation cannot
// be used, so the user gets the aborted frame with the support code.
void TSetupForm::RegistrationFailed(const TMessage&) {
    TMessage abort;
    abort.message = WM_SET_ABORT_MSG;
    abort.text = m_strErrorMessage.empty() ? txtUnexpectedError : m_strErrorMessage;
    abort.text2 = m_InstallerThread->Identifier();
    m_FrameAborted->HandleMessage(abort);
    SetVisibleFrame(fiAborted);
}

void TSetupForm::RaiseWindow() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void TSetupForm::ConfigInternet() {
    if (m_Services.fnExecDialog(*m_InternetConfig) != QDialog::Accepted) return;
    m_InstallerThread->SetProxyConfig(m_InternetConfig->ChosenSettings(m_Services.fnSystemProxy));
}

void TSetupForm::RequestClose() { close(); }

bool TSetupForm::FormCloseQuery() {
    if (ClosesWithoutQuestion(VisibleFrame())) return true;
    const TMessageBoxText question = CloseQuestion(GetLanguage());
    if (!m_Services.prompts->AskYesNo(this, question.strCaption, question.strText)) return false;
    if (m_InstallerThread && m_InstallerThread->IsNewInstall()) m_InstallerThread->UndoInstall();
    // The calling software must not be told that a cancelled run succeeded.
    if (m_CmdInstall != citNone && !m_bRunEnded && GetExitCode() == ecSuccess) SetExitCode(ecUnexpected);
    return true;
}

void TSetupForm::closeEvent(QCloseEvent* event) {
    if (m_bClosing) return event->accept();
    if (!FormCloseQuery()) return event->ignore();
    m_bClosing = true;
    event->accept();
    hide();
    Quit();
}

// A new installation that failed unattended leaves none of its unpacked files
// behind, as without a window: nobody is there to retry.
void TSetupForm::Quit() {
    if (m_CmdInstall == citInstall && GetExitCode() != ecSuccess && m_InstallerThread &&
        m_InstallerThread->IsNewInstall())
        m_InstallerThread->UndoInstall();
    m_Services.fnQuit();
}

void TSetupForm::OpenAddress(const std::string& address) { m_Services.fnShellOpen(address); }

void TSetupForm::StartWindowMove() {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    if (QWindow* handle = windowHandle()) handle->startSystemMove();
}

bool TSetupForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (widget && widget->window() == this && key->key() == Qt::Key_C &&
            (key->modifiers() & Qt::ControlModifier))
            QGuiApplication::clipboard()->setText(QString::fromStdString(m_Services.fnMachineId()));
    }
    return QWidget::eventFilter(watched, event);
}
