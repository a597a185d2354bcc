#include "engine/InstallerThread.h"

#include <pthread.h>

#include <chrono>
#include <ctime>

#include "app/Texts.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/Log.h"
#include "engine/MessageIds.h"

namespace {

// Local time as dd-mm-hh-nn, the second half of the support code.
std::string IdentifierTime() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d-%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_hour, tm.tm_min);
    return buf;
}

}  // namespace

TInstallerThread::TInstallerThread(IMessageTarget& mainHandle, TEngineEnvironment environment)
    : m_MainHandle(mainHandle), m_Environment(std::move(environment)) {}

TInstallerThread::~TInstallerThread() {
    if (!m_Thread.joinable()) return;
    m_Queue.PostQuit();
    m_Thread.join();
}

void TInstallerThread::Start() { m_Thread = std::thread([this] { Execute(); }); }

void TInstallerThread::WaitStart() const {
    while (!m_bGetMessageReady.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TInstallerThread::PostThreadMessage(TMessage msg) { m_Queue.Post(std::move(msg)); }

void TInstallerThread::PostThreadMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
    m_Queue.Post(message, wParam, lParam);
}

void TInstallerThread::SetUnnatendedValues(const std::string& strName, TCmdInstallType citType) {
    TMessage msg;
    msg.message = WM_SET_UNNATENDED_VALUES;
    msg.text = strName;
    msg.lParam = citType;
    PostThreadMessage(std::move(msg));
}

void TInstallerThread::SetProxyConfig(const TProxySettings& proxy) {
    TMessage msg;
    msg.message = WM_SET_PROXY_CONFIG;
    msg.payload = proxy;
    PostThreadMessage(std::move(msg));
}

void TInstallerThread::VerifyPreviousInstall() { PostThreadMessage(WM_VERIFY_PREVIOUS_INSTALL); }

void TInstallerThread::VerifyInstallerHasUpdate() { PostThreadMessage(WM_VERIFY_INSTALLER_UPDATE); }

std::string TInstallerThread::Identifier() const {
    WaitStart();
    return m_strIdentifier;
}

void TInstallerThread::Execute() {
    pthread_setname_np(pthread_self(), "InstallerThread");
    AppendLog("Execute");
    m_strIdentifier = m_Environment.fnMachineIdHex() + "_" + IdentifierTime();
    AppendLog("TInstallerThread.Execute: Identifier=" + m_strIdentifier);
    AppendLog("TInstallerThread.Execute: OS=" + m_Environment.fnOsDescription());
    m_bGetMessageReady.store(true);

    TMessage msg;
    while (m_Queue.Get(msg)) {
        try {
            ProcessMessage(msg);
        } catch (const std::exception& e) {
            HandleFailure(msg, e);
        } catch (...) {
            HandleFailure(msg, std::runtime_error("unknown error"));
        }
    }
}

// A failed handler never ends the engine: the run is aborted and the loop goes on.
void TInstallerThread::HandleFailure(const TMessage& msg, const std::exception& e) {
    AppendLog("TInstallerThread.Execute: MessageID=" + MessageName(msg.message) + " Except: " + e.what());
    TExceptionObject::SilentException(e);
    WMAbortInstallation();
}

void TInstallerThread::ProcessMessage(TMessage& msg) {
    LogMessage(msg);
    Dispatch(msg);
}

// One WM_UPDATE_PROGRESS line in seventeen is logged, and always the first
// after any other message, so the progress loop cannot flood the log.
void TInstallerThread::LogMessage(const TMessage& msg) {
    std::string line = "TInstallerThread.ProcessMessage: " + MessageName(msg.message) + ".";
    if (msg.message != WM_UPDATE_PROGRESS) {
        AppendLog(line);
        m_nWMUpdateProgressCount = 16;
        return;
    }
    line += " Total downloaded=" + std::to_string(msg.wParam);
    if (m_nWMUpdateProgressCount > 15) {
        AppendLog(line);
        m_nWMUpdateProgressCount = 0;
    } else {
        ++m_nWMUpdateProgressCount;
    }
}

void TInstallerThread::Dispatch(TMessage& msg) {
    switch (msg.message) {
        case WM_SET_PROXY_CONFIG:
            WMSetProxyConfig(msg);
            break;
        case WM_SET_UNNATENDED_VALUES:
            WMSetUnnatendedValues(msg);
            break;
        case WM_ABORT_INSTALLATION:
            WMAbortInstallation();
            break;
        default:
            break;  // logged above; nothing else to do
    }
}

void TInstallerThread::WMSetProxyConfig(TMessage& msg) {
    const auto& proxy = std::any_cast<const TProxySettings&>(msg.payload);
    m_ProxySettings = proxy;
    AppendLog("WMSetProxyConfig: Host=" + proxy.FHost + " Port=" + std::to_string(proxy.FPort) +
              " Scheme=" + proxy.FScheme + " Username=" + BoolText(!proxy.FUserName.empty()) +
              " Password=" + BoolText(!proxy.FPassword.empty()));
}

void TInstallerThread::WMSetUnnatendedValues(TMessage& msg) {
    m_CmdInstall.store(static_cast<TCmdInstallType>(msg.lParam));
    m_strCmdName = std::move(msg.text);
}

// Runs at most once per suspension: an error while the retry frame is shown
// leaves the run waiting for the user's retry.
void TInstallerThread::WMAbortInstallation() {
    if (m_bInstallationSuspended.exchange(true)) return;
    try {
        StopWorkers();
    } catch (const std::exception& e) {
        AppendLog(std::string("TInstallerThread.WMAbortInstallation: Except: ") + e.what());
    }
    PostAbortMessages();
}

void TInstallerThread::AbortUnexpectedError() { PostAbortMessages(); }

void TInstallerThread::PostAbortMessages() {
    TMessage abort;
    abort.message = WM_SET_ABORT_MSG;
    abort.text = txtUnexpectedError;
    abort.text2 = m_strIdentifier;
    m_MainHandle.Post(std::move(abort));
    m_MainHandle.Post(WM_CHANGE_VISIBLE_FRAME, fiAborted);
}

void TInstallerThread::StopWorkers() {}
