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
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "diagnostics/Log.h"
#include "diagnostics/MachineIdentity.h"
#include "platform/Shell.h"
#include "service/ProxySettings.h"
#include "ui/CloseButton.h"
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

}  // namespace

TSetupForm::TSetupForm(const TCommandLine& commandLine, TSetupFormServices services)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Window),
      m_Services(std::move(services)),
      m_Wizard(*this, commandLine) {
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
    CreateFrames();
    ShowFrame(nNoFrame);
    AttachFrames();
    m_InternetConfig = new TInternetConfig(this);
    qApp->installEventFilter(this);
    StartEngine();
    return true;
}

template <class TFrame>
TFrame* TSetupForm::NewFrame(TFrameIndex index) {
    auto* frame = new TFrame(*this, this);
    m_Frames[index] = frame;
    return frame;
}

void TSetupForm::CreateFrames() {
    m_FrameCloseVantix = NewFrame<TFrameCloseVantix>(fiCloseVantix);
    m_FrameCreateInstall = NewFrame<TFrameCreateInstall>(fiCreateInstall);
    m_FrameInstallDone = NewFrame<TFrameInstallDone>(fiInstallDone);
    m_FrameInstall = NewFrame<TFrameInstall>(fiInstall);
    m_FrameInstallUpdate = NewFrame<TFrameInstallUpdate>(fiInstallUpdate);
    m_FrameProgress = NewFrame<TFrameProgress>(fiProgress);
    m_FrameRetry = NewFrame<TFrameRetry>(fiRetry);
    m_FrameAborted = NewFrame<TFrameAborted>(fiAborted);
    m_FrameSelectInstall = NewFrame<TFrameSelectInstall>(fiSelectInstall);
    m_FrameUpdateInstaller = NewFrame<TFrameUpdateInstaller>(fiUpdateInstaller);
    // A row of the table without its frame would leave an index that shows nothing.
    for (const TWizardFrame& row : TWizardFrames::lstFrames) Q_ASSERT(m_Frames[row.index]);
}

void TSetupForm::AttachFrames() {
    for (const TWizardFrame& row : TWizardFrames::lstFrames) {
        TFrameBase* frame = m_Frames[row.index];
        frame->Attach();
        if (!TWizardFrames::ShowsCloseButton(row.index, m_Wizard.CmdInstall())) frame->CloseButton()->hide();
    }
}

void TSetupForm::StartEngine() {
    const TProxySettings proxy = SystemProxySettings(m_Services.fnSystemProxy);
    m_InternetConfig->SelectChoice(proxy.FHost.empty() ? TInternetConfig::pcNone : TInternetConfig::pcBrowser);
    m_Wizard.StartEngine(m_Services.fnCreateEngine(*this), proxy, [] { QCoreApplication::processEvents(); });
}

TFrameBase* TSetupForm::Frame(int index) const {
    if (!TWizardFrames::Contains(index)) return nullptr;
    return m_Frames[static_cast<size_t>(index)];
}

int TSetupForm::VisibleFrame() const {
    for (size_t i = 0; i < m_Frames.size(); ++i)
        if (m_Frames[i] && m_Frames[i]->isVisibleTo(this)) return static_cast<int>(i);
    return nNoFrame;
}

// Every showing re-applies the frame's texts, so a frame shown again starts
// from its language texts.
void TSetupForm::ShowFrame(int index) {
    for (TFrameBase* frame : m_Frames)
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

void TSetupForm::customEvent(QEvent* event) {
    if (event->type() != TPostedMessageEvent::EventType()) return QWidget::customEvent(event);
    m_Wizard.HandleMessage(static_cast<TPostedMessageEvent*>(event)->Message());
}

// The frames take their data as the engine's messages; the window logic hands
// it over already sorted out.
void TSetupForm::ReportProgress(int64_t done, int64_t total) {
    m_FrameProgress->HandleMessage(MakeMessage(WM_SET_PROGRESS, static_cast<uint64_t>(done), total));
}

void TSetupForm::SetStatusText(const std::string& text) { m_FrameProgress->SetStatusText(text); }

void TSetupForm::SetRetryText(const std::string& text) {
    m_FrameRetry->HandleMessage(MakeMessage(WM_SET_RETRY_MSG, 0, 0, text));
}

void TSetupForm::SetAbortTexts(const std::string& text, const std::string& identifier) {
    m_FrameAborted->HandleMessage(MakeMessage(WM_SET_ABORT_MSG, 0, 0, text, identifier));
}

void TSetupForm::InstallListChanged() { m_FrameSelectInstall->UpdateInsallList(); }

void TSetupForm::RaiseWindow() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void TSetupForm::ConfigInternet() {
    if (m_Services.fnExecDialog(*m_InternetConfig) != QDialog::Accepted) return;
    m_Wizard.SetProxyConfig(m_InternetConfig->ChosenSettings(m_Services.fnSystemProxy));
}

void TSetupForm::RequestClose() { close(); }

bool TSetupForm::AskYesNo(const TMessageBoxText& question) {
    return m_Services.prompts->AskYesNo(this, question.strCaption, question.strText);
}

void TSetupForm::closeEvent(QCloseEvent* event) {
    if (m_bClosing) return event->accept();
    if (!m_Wizard.CloseQuery()) return event->ignore();
    m_bClosing = true;
    event->accept();
    hide();
    m_Wizard.Quit();
}

void TSetupForm::EndLoop() { m_Services.fnQuit(); }

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
