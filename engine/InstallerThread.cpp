#include "engine/InstallerThread.h"

#include <chrono>
#include <ctime>

#include "base/EditionConstants.h"
#include "base/ExitCode.h"
#include "base/MessageIds.h"
#include "base/Texts.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/Log.h"
#include "engine/DownloadPlan.h"
#include "engine/FilePlacement.h"
#include "engine/InstallationFinish.h"
#include "engine/Registration.h"
#include "engine/SelfUpdateCheck.h"
#include "platform/ThreadName.h"
#include "service/HttpClient.h"
#include "service/VersionClient.h"
#include "workers/RetryPolicy.h"

namespace {

constexpr int kUndoAttempts = 50;
constexpr auto kUndoPause = std::chrono::milliseconds(100);

// Local time as dd-mm-hh-nn, the second half of the support code.
std::string IdentifierTime() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d-%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_hour, tm.tm_min);
    return buf;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace

TInstallerThread::TInstallerThread(IMessageTarget& mainHandle, TEngineEnvironment environment)
    : m_MainHandle(mainHandle, m_CmdInstall),
      m_Environment(std::move(environment)),
      m_Target(m_Environment.pathAppData),
      m_Run(
          m_MainHandle, m_CmdInstall, [this](const std::string& text) { PostAbortMessages(text); },
          m_Environment.nPackageBudget) {
    if (!m_Environment.placementFs) m_Environment.placementFs = std::make_shared<TPlacementFileSystem>();
    m_Run.SetInstallPath(m_Target.InstallPath());
}

TInstallerThread::~TInstallerThread() {
    m_Run.StopWorkers();
    if (!m_Thread.joinable()) return;
    m_Queue.PostQuit();
    m_Thread.join();
}

void TInstallerThread::Start() {
    m_Thread = std::thread([this] { Execute(); });
}

void TInstallerThread::WaitStart() const {
    while (!m_bGetMessageReady.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (m_StartFailure) std::rethrow_exception(m_StartFailure);
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

// ---- the loop ----

void TInstallerThread::Execute() {
    SetCurrentThreadName("InstallerThread");
    AppendLog("Execute");
    // A thread that cannot start must say so: the window waits for it.
    try {
        m_strIdentifier = m_Environment.fnMachineIdHex() + "_" + IdentifierTime();
        AppendLog("TInstallerThread.Execute: Identifier=" + m_strIdentifier);
        AppendLog("TInstallerThread.Execute: OS=" + m_Environment.fnOsDescription());
        LogReleaseKeys();
        m_NetHttpClient = std::make_unique<THttpClient>();
        // The self-update check must not hold a cancelled run either.
        m_NetHttpClient->SetAbortCheck([this] { return m_Run.bInstallSuspended(); });
    } catch (const std::exception& e) {
        AppendLog(std::string("TInstallerThread.Execute: Except: ") + e.what());
        m_StartFailure = std::current_exception();
        m_bGetMessageReady.store(true);
        return;
    }
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
    m_NetHttpClient.reset();
}

void TInstallerThread::LogReleaseKeys() {
    const TReleaseKeys& keys = m_Environment.releaseKeys;
    if (!keys.Enforced()) return AppendLog("TInstallerThread.Execute: Releases are not signed by this edition");
    for (const std::string& entry : keys.Unusable())
        AppendLog("TInstallerThread.Execute: Release key \"" + entry + "\" is not a base64 Ed25519 key; ignored");
    AppendLog("TInstallerThread.Execute: Releases must be signed");
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
            return WMSetProxyConfig(msg);
        case WM_VERIFY_PREVIOUS_INSTALL:
            return WMVerifyPreviousInstall();
        case WM_VERIFY_INSTALLER_UPDATE:
            return VerifyInstallerUpdate();
        case WM_SET_UPDATE_ONLY:
            return WMSetUpdateOnly();
        case WM_SETUP_DOWNLOADS:
            return WMSetupDownloads();
        case WM_SET_NEW_INSTALL:
            return WMSetNewInstall();
        case WM_START_DOWNLOAD_THREADS:
            return WMStartDownloadThreads();
        case WM_START_EXTRACT_THREADS:
            return WMStartExtractThreads();
        case WM_UPDATE_PROGRESS:
            return WMUpdateProgress();
        case WM_RUN_VANTIX:
            return WMRunVantix();
        case WM_ABORT_INSTALLATION:
            return WMAbortInstallation();
        case WM_SET_INSTALL_NAME:
            return WMSetInstallName(msg);
        case WM_RETRY:
            return WMRetry();
        case WM_SET_UNNATENDED_VALUES:
            return WMSetUnnatendedValues(msg);
        default:
            return;  // logged above; nothing else to do
    }
}

// ---- start-up and target ----

void TInstallerThread::WMSetProxyConfig(TMessage& msg) {
    const auto& proxy = std::any_cast<const TProxySettings&>(msg.payload);
    m_NetHttpClient->SetProxy(proxy);
    m_Run.SetProxySettings(proxy);
    AppendLog("WMSetProxyConfig: Host=" + proxy.FHost + " Port=" + std::to_string(proxy.FPort) +
              " Scheme=" + proxy.FScheme + " Username=" + BoolText(!proxy.FUserName.empty()) +
              " Password=" + BoolText(!proxy.FPassword.empty()));
}

void TInstallerThread::WMSetUnnatendedValues(TMessage& msg) {
    m_CmdInstall.store(static_cast<TCmdInstallType>(msg.lParam));
    m_strCmdName = std::move(msg.text);
}

void TInstallerThread::WMVerifyPreviousInstall() {
    AppendLog("WMVerifyPreviousInstall");
    m_Run.SetNewInstall(true);
    AppendLog("WMVerifyPreviousInstall Before Path=" + m_Target.BasePath());
    std::vector<std::string> found = m_Target.FindInstallations(*m_Environment.hkcu);
    if (!found.empty()) m_Run.SetNewInstall(false);
    switch (m_CmdInstall.load()) {
        case citNone:
            if (found.empty()) {
                m_MainHandle.Post(WM_CHANGE_VISIBLE_FRAME, fiInstall);
            } else {
                TMessage list;
                list.message = WM_SET_INSTALL_LIST;
                list.payload = std::move(found);
                m_MainHandle.Post(std::move(list));
                m_MainHandle.Post(WM_CHANGE_VISIBLE_FRAME, fiInstallUpdate);
            }
            break;
        case citInstall:
        case citUpdate:
            StartUnattended(found);
            if (GetExitCode() != 0) return;
            break;
    }
    AppendLog("WMVerifyPreviousInstall After Path=" + m_Target.BasePath());
}

void TInstallerThread::StartUnattended(const std::vector<std::string>& found) {
    bool exists = TInstallationTarget::ContainsKey(found, TInstallationTarget::WantedKey(m_strCmdName));
    bool install = m_CmdInstall.load() == citInstall;
    if (install && exists) return EndUnattended(ecNameAlreadyInstalled);
    if (!install && !exists) return EndUnattended(ecNoSuchInstallation);
    // Names match without regard to letter case, but folder names on this
    // platform do not: an update works on the installation as registered.
    m_Target.SetName(install ? m_strCmdName : TInstallationTarget::RegisteredName(found, m_strCmdName));
    TargetChanged();
    if (!install &&
        TInstallationTarget::IsProcessRunning(*m_Environment.processes, InstallPath() + edition::strProductExeName))
        return EndUnattended(ecProductRunning);
    PostStartingText();
    PostThreadMessage(install ? WM_SET_NEW_INSTALL : WM_SET_UPDATE_ONLY);
    PostThreadMessage(WM_SETUP_DOWNLOADS);
}

void TInstallerThread::PostStartingText() {
    TMessage frame;
    frame.message = WM_CHANGE_VISIBLE_FRAME;
    frame.wParam = fiProgress;
    frame.text = StartingStatusText(GetLanguage());
    m_MainHandle.Post(std::move(frame));
}

void TInstallerThread::EndUnattended(int exitCode) { TRetryPolicy::EndUnattended(m_MainHandle, exitCode); }

void TInstallerThread::WMSetInstallName(TMessage& msg) {
    m_Target.SetName(msg.text);
    TargetChanged();
    AppendLog("WMSetInstallName: " + m_Target.Name() + " - " + msg.text);
}

void TInstallerThread::TargetChanged() { m_Run.SetInstallPath(m_Target.InstallPath()); }

void TInstallerThread::WMSetNewInstall() {
    m_Run.SetNewInstall(true);
    std::string temp = m_Target.TempInstallFolder();
    m_Run.SetTempDownloadPath(temp);
    std::error_code ec;
    if (std::filesystem::exists(temp, ec)) std::filesystem::remove_all(temp, ec);
    std::filesystem::create_directories(temp, ec);
    AppendLog("WMSetNewInstall TempDir=" + temp + " DirExists=" + BoolText(std::filesystem::is_directory(temp, ec)));
}

void TInstallerThread::WMSetUpdateOnly() {
    AppendLog("WMSetUpdateOnly");
    m_Run.SetNewInstall(false);
    m_Run.SetTempDownloadPath(InstallPath());
}

// ---- download set-up ----

void TInstallerThread::WMSetupDownloads() {
    AppendLog("WMSetupDownloads");
    // A request queued behind a step that failed (a refused name, say) must
    // not start a run on what that step left: only a retry resumes.
    if (m_Run.bInstallSuspended()) return AppendLog("TInstallerThread.WMSetupDownloads: the run is stopped");
    TranslateEngineTexts(GetLanguage());
    TVantixVersion version;
    if (!ReadRelease(version)) return;
    // Only a release that was read (and, when signed, verified) may change the installation.
    TFilePlacement placement(*m_Environment.placementFs, m_Target.CompanyFolder());
    if (!m_Run.IsNewInstall()) {
        placement.DeleteInterruptedPartFiles(TempDownloadPath());
        bool deleted = placement.BackupAndDeleteDatabaseFiles(TempDownloadPath());
        AppendLog(std::string("TInstallerThread.WMSetupDownloads:: Delete database folder = ") +
                  (deleted ? "-1" : "0"));
    }

    TDownloadPlan plan = BuildDownloadPlan(version, edition::strProductCode, m_Environment.strServerUrl,
                                           m_Environment.releaseKeys.Enforced());
    const size_t count = plan.lstRecords.size();
    size_t downloads = 4, extracts = 3;
    if (TCommandLine(m_Environment.lstCommandLine).SingleThreaded()) {
        AppendLog("TInstallerThread.WMSetupDownloads: Singlethreaded active (st param)");
        downloads = extracts = 1;
    }
    m_Run.Begin(plan, downloads, extracts, DottedVersion(version));
    placement.DeleteObsoleteDlls(InstallPath(), plan.lstKeepDlls);

    m_MainHandle.Post(WM_SET_PROGRESS, 0, static_cast<int64_t>(m_Run.ProgressSize()));
    PostProgressText();
    AppendLog("TInstallerThread.WMSetupDownloads: Version=" + DottedVersion(version) +
              ". Files count=" + std::to_string(count));
    PostThreadMessage(WM_START_DOWNLOAD_THREADS);
}

// Asks the version service for the release; a failure is handled here.
bool TInstallerThread::ReadRelease(TVantixVersion& version) {
    TProxySettings proxy = m_Run.GetProxySettings();
    TVersionQuery query;
    query.strBaseUrl = m_Environment.strServerUrl;
    query.strProduct = edition::strProductCode;
    query.FromChannel = vcAlpha;
    query.ToChannel = vcStable;
    query.strSuffix = "pt-br";
    query.bX64 = m_Environment.bX64;
    query.fnShouldAbort = [this] { return m_Run.bInstallSuspended(); };
    query.Trust.Keys = m_Environment.releaseKeys;
    if (query.Trust.Keys.Enforced() && !m_Run.IsNewInstall()) query.Trust.strInstalledVersion = TInstallationTarget::InstalledVersion(InstallPath());
    std::string text;
    int32_t lastError = 0;
    if (!GetVersionInfo(query, version, text, lastError, &proxy)) {
        if (lastError == kReleaseRefused) {
            m_Run.RefuseRelease(text);
        } else {
            VersionQueryFailed(text);
        }
        return false;
    }
    AppendLog("TInstallerThread.WMSetupDownloads: " + text);
    m_nVersionQueryFailures = 0;
    return true;
}

void TInstallerThread::PostProgressText() {
    m_MainHandle.PostText(WM_SET_PROGRESS_MSG, m_Run.IsNewInstall() ? txtInstalling : txtUpdating);
}

// An unattended run never waits for a click: it asks again twice, then ends
// with the download failure code.
void TInstallerThread::VersionQueryFailed(const std::string& text) {
    AppendLog("TInstallerThread.WMSetupDownloads: Error getting vantix version info: " + text);
    if (m_CmdInstall.load() != citNone) {
        if (++m_nVersionQueryFailures < TRetryPolicy::kUnattendedVersionQueryTries) {
            std::this_thread::sleep_for(TRetryPolicy::kVersionQueryPause);
            return PostThreadMessage(WM_SETUP_DOWNLOADS);
        }
        return EndUnattended(ecDownloadFailed);
    }
    TRetryPolicy::ShowRetryFrame(m_MainHandle, txtCheckConnection);
}

// ---- the run ----

void TInstallerThread::WMStartDownloadThreads() {
    m_Run.StartDownloadWorkers();
    PostThreadMessage(WM_START_EXTRACT_THREADS);
}

void TInstallerThread::WMStartExtractThreads() {
    m_Run.StartExtractWorkers();
    m_nWMUpdateProgressCount = 0;
    PostThreadMessage(WM_UPDATE_PROGRESS, 0, 0);
}

void TInstallerThread::WMUpdateProgress() {
    if (m_Run.bInstallSuspended()) return;
    AppendLog("TInstallerThread.WMUpdateProgress : Begin");
    // A worker that ends an unattended run sets its failure code before it lets
    // go of its record, so once the queues look finished the code is visible:
    // what is left must not be placed or registered as if the run succeeded.
    if (m_Run.Finished()) return RunEndedByFailure() ? m_Run.StopWorkers() : FinishRun();
    if (RunEndedByFailure()) return m_Run.StopWorkers();
    uint64_t done = m_Run.ProgressDone();
    AppendLog("TInstallerThread.WMUpdateProgress : TotalDownloaded=" + std::to_string(done) +
              " ProgressSize=" + std::to_string(m_Run.ProgressSize()));
    m_MainHandle.Post(WM_SET_PROGRESS, done, static_cast<int64_t>(m_Run.ProgressSize()));
    PostThreadMessage(WM_UPDATE_PROGRESS, done, 0);
    m_Run.WaitForEnd(m_Environment.tProgressInterval);
}

bool TInstallerThread::RunEndedByFailure() const {
    return m_CmdInstall.load() != citNone && GetExitCode() != ecSuccess;
}

void TInstallerThread::FinishRun() {
    ReportFailedMd5();
    m_Run.StopWorkers();
    // Unattended, the exit code is all the calling software learns: a run that
    // unpacked files other than the release's must not report an installation.
    if (m_Run.Md5Failed() && m_CmdInstall.load() != citNone) {
        AppendLog("TInstallerThread.WMUpdateProgress : Files failed their MD5 check; nothing placed or registered");
        return EndUnattended(ecUnexpected);
    }
    TInstallationFinish finish{*m_Environment.placementFs, *m_Environment.hkcu, m_Target, m_Run, m_MainHandle};
    finish.Complete();
}

void TInstallerThread::ReportFailedMd5() {
    const std::vector<std::string> lines = m_Run.TakeFailedMd5Lines();
    if (!m_Run.Md5Failed()) return;
    AppendLog("TInstallerThread.WMUpdateProgress : ERROR MD5Failed=True");
    TExceptionObject::SilentException(JoinLines(lines));
}

void TInstallerThread::WMRetry() {
    m_Run.Resume();
    if (!m_Run.IsSetUp()) return PostThreadMessage(WM_SETUP_DOWNLOADS);
    m_Run.WakeWorkers();
    m_MainHandle.Post(WM_SET_PROGRESS, 0, static_cast<int64_t>(m_Run.ProgressSize()));
    PostProgressText();
    PostThreadMessage(WM_UPDATE_PROGRESS);
}

void TInstallerThread::WMRunVantix() {
    TRegistration::OpenProduct(InstallPath());
    m_MainHandle.PostQuit();
}

void TInstallerThread::VerifyInstallerUpdate() {
    if (::VerifyInstallerUpdate(*m_NetHttpClient, m_Environment.strInstallerVersionUrl + "version.txt",
                                m_Environment.strLocalInstallerVersion, m_Environment.releaseKeys))
        m_MainHandle.Post(WM_SET_INSTALLER_HAS_UPDATE);
}

// ---- abort and cancel ----

// Runs at most once per suspension: an error while the retry frame is shown
// leaves the run waiting for the user's retry.
void TInstallerThread::WMAbortInstallation() {
    if (m_Run.SuspendInstallation()) return;
    try {
        m_Run.StopWorkers();
    } catch (const std::exception& e) {
        AppendLog(std::string("TInstallerThread.WMAbortInstallation: Except: ") + e.what());
    }
    PostAbortMessages(txtUnexpectedError);
}

void TInstallerThread::PostAbortMessages(const std::string& text) {
    TMessage abort;
    abort.message = WM_SET_ABORT_MSG;
    abort.text = text;
    abort.text2 = m_strIdentifier;
    m_MainHandle.Post(std::move(abort));
    m_MainHandle.Post(WM_CHANGE_VISIBLE_FRAME, fiAborted);
}

void TInstallerThread::UndoInstall() {
    m_Run.SuspendInstallation();
    m_Run.StopWorkers();
    std::string temp = TempDownloadPath();
    std::error_code ec;
    for (int attempt = 0; attempt < kUndoAttempts && std::filesystem::is_directory(temp, ec); ++attempt) {
        std::filesystem::remove_all(temp, ec);
        if (std::filesystem::is_directory(temp, ec)) std::this_thread::sleep_for(kUndoPause);
    }
}
