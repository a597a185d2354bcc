#include "winui/WinSetupForm.h"

#include <stdexcept>

#include "base/EditionConstants.h"
#include "base/ExitCode.h"
#include "base/Texts.h"
#include "diagnostics/Log.h"
#include "diagnostics/MachineIdentity.h"
#include "platform/Shell.h"
#include "platform/windows/WideString.h"
#include "service/ProxySettings.h"
#include "winui/WinDialogGeometry.h"
#include "winui/WindowClass.h"
#include "winui/WindowProcedure.h"
#include "winui/WinCloseButton.h"
#include "winui/WinFrameAborted.h"
#include "winui/WinFrameCloseVantix.h"
#include "winui/WinFrameCreateInstall.h"
#include "winui/WinFrameInstall.h"
#include "winui/WinFrameInstallDone.h"
#include "winui/WinFrameInstallUpdate.h"
#include "winui/WinFrameProgress.h"
#include "winui/WinFrameRetry.h"
#include "winui/WinFrameSelectInstall.h"
#include "winui/WinFrameUpdateInstaller.h"
#include "winui/WinInternetConfig.h"

namespace {

const wchar_t* const kFormClass = L"TSetupForm";
// A message the engine's threads posted: its lParam owns a TMessage.
constexpr UINT kPostedMessage = WM_APP + 0x101;
constexpr WPARAM kMoveByCaption = 0xF012;  // SC_MOVE | HTCAPTION

void FillDefaults(TWinSetupFormServices& s) {
    if (!s.prompts) s.prompts = std::make_shared<TWinMessageBoxes>();
    if (!s.fnShellOpen) s.fnShellOpen = [](const std::string& target) { return ShellOpen(target); };
    if (!s.fnMachineId) s.fnMachineId = [] { return MachineIdHex(); };
    if (!s.fnSystemProxy)
        s.fnSystemProxy = [](std::string& host, std::string& port) { return GetSystemProxy(host, port); };
    if (!s.fnRunDialog) s.fnRunDialog = [](TWinInternetConfig& dialog, HWND owner) { return dialog.ShowModal(owner); };
    if (!s.fnQuit) s.fnQuit = [] { PostQuitMessage(GetExitCode()); };
}

void PutOnClipboard(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    }
    CloseClipboard();
}

}  // namespace

TWinSetupForm::TWinSetupForm(const TCommandLine& commandLine, TWinSetupFormServices services)
    : m_Services(std::move(services)), m_CommandLine(commandLine), m_Logic(*this, commandLine) {
    FillDefaults(m_Services);
}

TWinSetupForm::~TWinSetupForm() {
    for (auto& frame : m_Frames) frame.reset();
    m_InternetConfig.reset();
    if (!m_hWnd) return;
    // Messages the engine posted that nobody took own their texts.
    MSG pending;
    while (PeekMessageW(&pending, m_hWnd, kPostedMessage, kPostedMessage, PM_REMOVE))
        delete reinterpret_cast<TMessage*>(pending.lParam);
    DestroyWindow(m_hWnd);
}

bool TWinSetupForm::FormCreate() {
    try {
        m_Pictures = TWinPictures::Load();
    } catch (const std::exception& e) {
        AppendLog(std::string("TSetupForm.LoadImages: Except: ") + e.what());
        const TMessageBoxText message = ImageFailureMessage(GetLanguage());
        m_Services.prompts->ShowError(nullptr, message.strCaption, message.strText);
        SetExitCode(ecUnexpected);
        return false;
    }
    CreateWindowHandle();
    CreateFrames();
    ShowFrame(nNoFrame);
    AttachFrames();
    m_InternetConfig = std::make_unique<TWinInternetConfig>();
    StartEngine();
    return true;
}

// Hidden until the first frame, sized for the monitor it opens on, centred on
// the primary screen's work area.
void TWinSetupForm::CreateWindowHandle() {
    RegisterWindowClassOnce(kFormClass, &OwnerWindowProc<TWinSetupForm, &TWinSetupForm::OnMessage>,
                            LoadCursorW(nullptr, IDC_ARROW), GetSysColorBrush(COLOR_WINDOW),
                            LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));
    m_hWnd = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, Widen(edition::strWindowCaption).c_str(),
                             WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX | WS_SYSMENU, 0, 0, look::nFrameWidth,
                             look::nFrameHeight, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!m_hWnd) throw std::runtime_error("cannot create the installer window: " + WindowsErrorText(GetLastError()));
    m_Scale.nDpi = WindowDpi(m_hWnd);
    const int w = m_Scale(look::nFrameWidth), h = m_Scale(look::nFrameHeight);
    const POINT place = CentredPlace(nullptr, w, h);
    SetWindowPos(m_hWnd, nullptr, place.x, place.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

template <class TFrame>
TFrame* TWinSetupForm::NewFrame(TFrameIndex index) {
    auto frame = std::make_unique<TFrame>(*this);
    TFrame* raw = frame.get();
    m_Frames[index] = std::move(frame);
    return raw;
}

void TWinSetupForm::CreateFrames() {
    m_FrameCloseVantix = NewFrame<TWinFrameCloseVantix>(fiCloseVantix);
    m_FrameCreateInstall = NewFrame<TWinFrameCreateInstall>(fiCreateInstall);
    m_FrameInstallDone = NewFrame<TWinFrameInstallDone>(fiInstallDone);
    m_FrameInstall = NewFrame<TWinFrameInstall>(fiInstall);
    m_FrameInstallUpdate = NewFrame<TWinFrameInstallUpdate>(fiInstallUpdate);
    m_FrameProgress = NewFrame<TWinFrameProgress>(fiProgress);
    m_FrameRetry = NewFrame<TWinFrameRetry>(fiRetry);
    m_FrameAborted = NewFrame<TWinFrameAborted>(fiAborted);
    m_FrameSelectInstall = NewFrame<TWinFrameSelectInstall>(fiSelectInstall);
    m_FrameUpdateInstaller = NewFrame<TWinFrameUpdateInstaller>(fiUpdateInstaller);
}

void TWinSetupForm::AttachFrames() {
    for (const TWizardFrame& row : TWizardFrames::lstFrames)
        m_Frames[row.index]->CloseButton().Show(TWizardFrames::ShowsCloseButton(row.index, m_Logic.CmdInstall()));
}

void TWinSetupForm::StartEngine() {
    const TProxySettings proxy = SystemProxySettings(m_Services.fnSystemProxy);
    m_InternetConfig->SelectChoice(proxy.FHost.empty() ? pcNone : pcBrowser);
    m_Logic.StartEngine(m_Services.fnCreateEngine(*this), proxy, ProcessPendingMessages);
}

TWinFrame* TWinSetupForm::Frame(int index) const {
    return TWizardFrames::Contains(index) ? m_Frames[static_cast<size_t>(index)].get() : nullptr;
}

// Every showing re-applies the frame's texts, so a frame shown again starts
// from its language texts.
void TWinSetupForm::ShowFrame(int index) {
    for (const auto& frame : m_Frames)
        if (frame) frame->Show(false);
    if (TWinFrame* frame = Frame(index)) {
        frame->Translate();
        frame->Show(true);
        ShowWindow(m_hWnd, SW_SHOW);
    }
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

int TWinSetupForm::VisibleFrame() const {
    for (const auto& frame : m_Frames)
        if (frame && frame->Visible()) return frame->Index();
    return nNoFrame;
}

void TWinSetupForm::ReportProgress(int64_t done, int64_t total) { m_FrameProgress->pbProgressBar->Report(done, total); }

void TWinSetupForm::SetStatusText(const std::string& text) { m_FrameProgress->SetStatusText(text); }

void TWinSetupForm::SetRetryText(const std::string& text) { m_FrameRetry->SetMessage(text); }

void TWinSetupForm::SetAbortTexts(const std::string& text, const std::string& identifier) {
    m_FrameAborted->SetTexts(text, identifier);
}

void TWinSetupForm::InstallListChanged() { m_FrameSelectInstall->UpdateInsallList(); }

void TWinSetupForm::RaiseWindow() {
    if (IsIconic(m_hWnd)) ShowWindow(m_hWnd, SW_RESTORE);
    ShowWindow(m_hWnd, SW_SHOW);
    SetForegroundWindow(m_hWnd);
}

bool TWinSetupForm::AskYesNo(const TMessageBoxText& question) {
    return m_Services.prompts->AskYesNo(m_hWnd, question.strCaption, question.strText);
}

void TWinSetupForm::OpenAddress(const std::string& address) { m_Services.fnShellOpen(address); }

void TWinSetupForm::EndLoop() { m_Services.fnQuit(); }

void TWinSetupForm::ConfigInternet() {
    if (!m_Services.fnRunDialog(*m_InternetConfig, m_hWnd)) return;
    m_Logic.SetProxyConfig(m_InternetConfig->ChosenSettings(m_Services.fnSystemProxy));
}

void TWinSetupForm::RequestClose() { SendMessageW(m_hWnd, WM_CLOSE, 0, 0); }

void TWinSetupForm::StartWindowMove() {
    ReleaseCapture();
    SendMessageW(m_hWnd, WM_SYSCOMMAND, kMoveByCaption, 0);
}

void TWinSetupForm::ShowInfo(const std::string& caption, const std::string& text) {
    m_Services.prompts->ShowInfo(m_hWnd, caption, text);
}

void TWinSetupForm::ChangeDpi(int dpi, const RECT* suggested) {
    m_Scale.nDpi = dpi;
    RECT place{};
    GetWindowRect(m_hWnd, &place);
    if (suggested) place = *suggested;
    SetWindowPos(m_hWnd, nullptr, place.left, place.top, m_Scale(look::nFrameWidth), m_Scale(look::nFrameHeight),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (const auto& frame : m_Frames)
        if (frame) frame->ApplyDpi();
}

void TWinSetupForm::Post(TMessage msg) {
    auto* copy = new TMessage(std::move(msg));
    if (!PostMessageW(m_hWnd, kPostedMessage, 0, reinterpret_cast<LPARAM>(copy))) delete copy;
}

void TWinSetupForm::TakePosted(LPARAM lParam) {
    std::unique_ptr<TMessage> msg(reinterpret_cast<TMessage*>(lParam));
    m_Logic.HandleMessage(*msg);
}

void TWinSetupForm::PreviewKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != 'C' || !(GetKeyState(VK_CONTROL) & 0x8000)) return;
    if (msg.hwnd == m_hWnd || IsChild(m_hWnd, msg.hwnd)) CopyMachineId();
}

void TWinSetupForm::CopyMachineId() const { PutOnClipboard(m_hWnd, Widen(m_Services.fnMachineId())); }

void TWinSetupForm::Close() {
    if (m_bClosing) return;
    if (!m_Logic.CloseQuery()) return;
    m_bClosing = true;
    ShowWindow(m_hWnd, SW_HIDE);
    m_Logic.Quit();
}

LRESULT TWinSetupForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kPostedMessage:
            TakePosted(lParam);
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DPICHANGED:
            ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_NCHITTEST:
            return HTCLIENT;
        default:
            return DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
}
