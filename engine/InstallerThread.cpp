#include "engine/InstallerThread.h"

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "base/EditionConstants.h"
#include "base/ExitCode.h"
#include "base/Texts.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/Log.h"
#include "engine/DownloadPlan.h"
#include "engine/FilePlacement.h"
#include "base/MessageIds.h"
#include "engine/Registration.h"
#include "engine/SelfUpdateCheck.h"
#include "platform/FileSystem.h"
#include "platform/PathJoin.h"
#include "service/HttpClient.h"
#include "service/VersionClient.h"
#include "workers/DownloadThread.h"
#include "workers/ExtractThread.h"

namespace {

constexpr int kUnattendedVersionQueryTries = 3;
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
      m_PackageBudget(m_Environment.nPackageBudget ? m_Environment.nPackageBudget
                                                   : TDownloadPlan::kMinPackageBudget) {
    if (!m_Environment.placementFs) m_Environment.placementFs = std::make_shared<TPlacementFileSystem>();
    m_strlstFailedMd5.push_back("Invalid md5 verified while installing");
    m_strInstallPath = m_Target.InstallPath();
}

TInstallerThread::~TInstallerThread() {
    StopWorkers();
    if (!m_Thread.joinable()) return;
    m_Queue.PostQuit();
    m_Thread.join();
}

void TInstallerThread::Start() { m_Thread = std::thread([this] { Execute(); }); }

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
    pthread_setname_np(pthread_self(), "InstallerThread");
    AppendLog("Execute");
    // A thread that cannot start must say so: the window waits for it.
    try {
        m_strIdentifier = m_Environment.fnMachineIdHex() + "_" + IdentifierTime();
        AppendLog("TInstallerThread.Execute: Identifier=" + m_strIdentifier);
        AppendLog("TInstallerThread.Execute: OS=" + m_Environment.fnOsDescription());
        m_NetHttpClient = std::make_unique<THttpClient>();
        // The self-update check must not hold a cancelled run either.
        m_NetHttpClient->SetAbortCheck([this] { return m_bInstallationSuspended.load(); });
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
        case WM_SET_PROXY_CONFIG: return WMSetProxyConfig(msg);
        case WM_VERIFY_PREVIOUS_INSTALL: return WMVerifyPreviousInstall();
        case WM_VERIFY_INSTALLER_UPDATE: return VerifyInstallerUpdate();
        case WM_SET_UPDATE_ONLY: return WMSetUpdateOnly();
        case WM_SETUP_DOWNLOADS: return WMSetupDownloads();
        case WM_SET_NEW_INSTALL: return WMSetNewInstall();
        case WM_START_DOWNLOAD_THREADS: return WMStartDownloadThreads();
        case WM_START_EXTRACT_THREADS: return WMStartExtractThreads();
        case WM_UPDATE_PROGRESS: return WMUpdateProgress();
        case WM_RUN_VANTIX: return WMRunVantix();
        case WM_ABORT_INSTALLATION: return WMAbortInstallation();
        case WM_SET_INSTALL_NAME: return WMSetInstallName(msg);
        case WM_RETRY: return WMRetry();
        case WM_SET_UNNATENDED_VALUES: return WMSetUnnatendedValues(msg);
        default: return;  // logged above; nothing else to do
    }
}

// ---- start-up and target ----

void TInstallerThread::WMSetProxyConfig(TMessage& msg) {
    const auto& proxy = std::any_cast<const TProxySettings&>(msg.payload);
    m_NetHttpClient->SetProxy(proxy);
    {
        std::lock_guard lock(m_csProxy);
        m_ProxySettings = proxy;
    }
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
    m_bNewInstall.store(true);
    AppendLog("WMVerifyPreviousInstall Before Path=" + m_Target.BasePath());
    std::vector<std::string> found = m_Target.FindInstallations(*m_Environment.hkcu);
    if (!found.empty()) m_bNewInstall.store(false);
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
    {
        std::lock_guard lock(m_csTarget);
        m_strInstallPath = m_Target.InstallPath();
    }
    if (!install && TInstallationTarget::IsProcessRunning(*m_Environment.processes,
                                                         InstallPath() + edition::strProductExeName))
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

void TInstallerThread::EndUnattended(int exitCode) {
    SetExitCode(exitCode);
    m_MainHandle.PostQuit();
}

void TInstallerThread::WMSetInstallName(TMessage& msg) {
    m_Target.SetName(msg.text);
    {
        std::lock_guard lock(m_csTarget);
        m_strInstallPath = m_Target.InstallPath();
    }
    AppendLog("WMSetInstallName: " + m_Target.Name() + " - " + msg.text);
}

void TInstallerThread::WMSetNewInstall() {
    m_bNewInstall.store(true);
    std::string temp = m_Target.TempInstallFolder();
    {
        std::lock_guard lock(m_csTarget);
        m_strTempDownloadPath = temp;
    }
    std::error_code ec;
    if (std::filesystem::exists(temp, ec)) std::filesystem::remove_all(temp, ec);
    std::filesystem::create_directories(temp, ec);
    AppendLog("WMSetNewInstall TempDir=" + temp + " DirExists=" + BoolText(std::filesystem::is_directory(temp, ec)));
}

void TInstallerThread::WMSetUpdateOnly() {
    AppendLog("WMSetUpdateOnly");
    m_bNewInstall.store(false);
    std::lock_guard lock(m_csTarget);
    m_strTempDownloadPath = m_strInstallPath;
}

std::string TInstallerThread::InstallPath() const {
    std::lock_guard lock(m_csTarget);
    return m_strInstallPath;
}

std::string TInstallerThread::TempDownloadPath() const {
    std::lock_guard lock(m_csTarget);
    return m_strTempDownloadPath;
}

TProxySettings TInstallerThread::GetProxySettings() const {
    std::lock_guard lock(m_csProxy);
    return m_ProxySettings;
}

// ---- download set-up ----

void TInstallerThread::WMSetupDownloads() {
    AppendLog("WMSetupDownloads");
    // A request queued behind a step that failed (a refused name, say) must
    // not start a run on what that step left: only a retry resumes.
    if (m_bInstallationSuspended.load()) return AppendLog("TInstallerThread.WMSetupDownloads: the run is stopped");
    TranslateEngineTexts(GetLanguage());
    TFilePlacement placement(*m_Environment.placementFs, m_Target.CompanyFolder());
    if (!m_bNewInstall.load()) {
        placement.DeleteInterruptedPartFiles(TempDownloadPath());
        bool deleted = placement.BackupAndDeleteDatabaseFiles(TempDownloadPath());
        AppendLog(std::string("TInstallerThread.WMSetupDownloads:: Delete database folder = ") + (deleted ? "-1" : "0"));
    }
    TProxySettings proxy = GetProxySettings();
    TVersionQuery query;
    query.strBaseUrl = m_Environment.strServerUrl;
    query.strProduct = edition::strProductCode;
    query.FromChannel = vcAlpha;
    query.ToChannel = vcStable;
    query.strSuffix = "pt-br";
    query.bX64 = m_Environment.bX64;
    query.fnShouldAbort = [this] { return m_bInstallationSuspended.load(); };
    TVantixVersion version;
    std::string text;
    int32_t lastError = 0;
    if (!GetVersionInfo(query, version, text, lastError, &proxy)) return VersionQueryFailed(text);
    AppendLog("TInstallerThread.WMSetupDownloads: " + text);
    m_nVersionQueryFailures = 0;

    TDownloadPlan plan = BuildDownloadPlan(version, edition::strProductCode, m_Environment.strServerUrl);
    CreateWorkers();
    m_Queues.Create();
    const size_t count = plan.lstRecords.size();
    for (auto& record : plan.lstRecords) m_Queues.EnqueueItemForDownload(std::move(record));
    placement.DeleteObsoleteDlls(InstallPath(), plan.lstKeepDlls);
    m_nDownloadSize = plan.nDownloadSize;
    m_nProgressSize = plan.nProgressSize;
    m_nFileExtractedProgress = plan.nFileExtractedProgress;
    if (m_Environment.nPackageBudget == 0) m_PackageBudget.SetLimit(plan.nPackageBudget);
    m_bDownloadsSetUp = true;

    m_MainHandle.Post(WM_SET_PROGRESS, 0, static_cast<int64_t>(m_nProgressSize));
    PostProgressText();
    AppendLog("TInstallerThread.WMSetupDownloads: Version=" + DottedVersion(version) +
              ". Files count=" + std::to_string(count));
    {
        std::lock_guard lock(m_csFailedMd5);
        m_strlstFailedMd5.push_back("Version=" + DottedVersion(version));
    }
    PostThreadMessage(WM_START_DOWNLOAD_THREADS);
}

void TInstallerThread::PostProgressText() {
    m_MainHandle.PostText(WM_SET_PROGRESS_MSG, m_bNewInstall.load() ? txtInstalling : txtUpdating);
}

// An unattended run never waits for a click: it asks again twice, then ends
// with the download failure code.
void TInstallerThread::VersionQueryFailed(const std::string& text) {
    AppendLog("TInstallerThread.WMSetupDownloads: Error getting vantix version info: " + text);
    if (m_CmdInstall.load() != citNone) {
        if (++m_nVersionQueryFailures < kUnattendedVersionQueryTries) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            return PostThreadMessage(WM_SETUP_DOWNLOADS);
        }
        return EndUnattended(ecDownloadFailed);
    }
    m_MainHandle.PostText(WM_SET_RETRY_MSG, txtCheckConnection);
    m_MainHandle.Post(WM_CHANGE_VISIBLE_FRAME, fiRetry);
}

void TInstallerThread::CreateWorkers() {
    size_t downloads = 4, extracts = 3;
    if (TCommandLine(m_Environment.lstCommandLine).SingleThreaded()) {
        AppendLog("TInstallerThread.WMSetupDownloads: Singlethreaded active (st param)");
        downloads = extracts = 1;
    }
    std::lock_guard lock(m_csWorkers);
    for (size_t i = 0; i < downloads; ++i) m_TDownloadThreads.push_back(std::make_unique<TDownloadThread>(*this));
    for (size_t i = 0; i < extracts; ++i) m_TExtractThreads.push_back(std::make_unique<TExtractThread>(*this));
}

// ---- the run ----

void TInstallerThread::WMStartDownloadThreads() {
    {
        std::lock_guard lock(m_csWorkers);
        for (auto& worker : m_TDownloadThreads) worker->Start();
    }
    PostThreadMessage(WM_START_EXTRACT_THREADS);
}

void TInstallerThread::WMStartExtractThreads() {
    {
        std::lock_guard lock(m_csWorkers);
        for (auto& worker : m_TExtractThreads) worker->Start();
    }
    m_nWMUpdateProgressCount = 0;
    PostThreadMessage(WM_UPDATE_PROGRESS, 0, 0);
}

void TInstallerThread::WMUpdateProgress() {
    if (m_bInstallationSuspended.load()) return;
    AppendLog("TInstallerThread.WMUpdateProgress : Begin");
    // A worker that ends an unattended run sets its failure code before it lets
    // go of its record, so once the queues look finished the code is visible:
    // what is left must not be placed or registered as if the run succeeded.
    if (m_Queues.RunFinished()) return RunEndedByFailure() ? StopWorkers() : FinishRun();
    if (RunEndedByFailure()) return StopWorkers();
    uint64_t done = ProgressDone();
    AppendLog("TInstallerThread.WMUpdateProgress : TotalDownloaded=" + std::to_string(done) +
              " ProgressSize=" + std::to_string(m_nProgressSize));
    m_MainHandle.Post(WM_SET_PROGRESS, done, static_cast<int64_t>(m_nProgressSize));
    PostThreadMessage(WM_UPDATE_PROGRESS, done, 0);
    m_Queues.WaitForEndOfRun(m_Environment.tProgressInterval);
}

bool TInstallerThread::RunEndedByFailure() const {
    return m_CmdInstall.load() != citNone && GetExitCode() != ecSuccess;
}

uint64_t TInstallerThread::ProgressDone() const {
    uint64_t done = uint64_t(m_Queues.ValidatedCount()) * m_nFileExtractedProgress +
                    static_cast<uint64_t>(std::max<int64_t>(0, m_Queues.DownloadedSize()));
    std::lock_guard lock(m_csWorkers);
    for (const auto& worker : m_TDownloadThreads) done += worker->CurrDownloaded();
    return done;
}

void TInstallerThread::FinishRun() {
    if (m_bMd5ValidationFailed.load()) {
        AppendLog("TInstallerThread.WMUpdateProgress : ERROR MD5Failed=True");
        std::lock_guard lock(m_csFailedMd5);
        TExceptionObject::SilentException(JoinLines(m_strlstFailedMd5));
    }
    {
        std::lock_guard lock(m_csFailedMd5);
        m_strlstFailedMd5.clear();
    }
    StopWorkers();
    // Unattended, the exit code is all the calling software learns: a run that
    // unpacked files other than the release's must not report an installation.
    if (m_bMd5ValidationFailed.load() && m_CmdInstall.load() != citNone) {
        AppendLog("TInstallerThread.WMUpdateProgress : Files failed their MD5 check; nothing placed or registered");
        return EndUnattended(ecUnexpected);
    }
    if (m_bNewInstall.load())
        PlaceNewInstallation();
    else
        AppendLog("TInstallerThread.WMUpdateProgress : Reparation Path=" + InstallPath());
    WriteRegistry();
}

// The user is not told of a failed move: registration follows in every case.
// A refused folder is no failed move: it throws, and the run ends aborted.
void TInstallerThread::PlaceNewInstallation() {
    FlushUnpackedFiles();
    TFilePlacement placement(*m_Environment.placementFs, m_Target.CompanyFolder());
    auto result = placement.PlaceNewInstallation(TempDownloadPath(), InstallPath());
    if (result.bOk) return;
    TExceptionObject::SilentException(result.strErrorText.empty()
                                          ? std::string("Erro desconhecido ao tentar mover arquivos temporários.")
                                          : result.strErrorText);
}

// The extract workers leave the flush of a new installation's files to this
// one call, which costs far less than a flush per file. A disk that reports a
// write error here is reported; the files are placed all the same, as they
// would be after a flush error that no one saw.
void TInstallerThread::FlushUnpackedFiles() {
    std::error_code ec;
    if (FlushFileSystem(TempDownloadPath(), ec)) return;
    const std::string text = "TInstallerThread.FlushUnpackedFiles: Path=" + TempDownloadPath() + " Error=" + ec.message();
    AppendLog(text);
    TExceptionObject::SilentException(text);
}

TRegistrationRequest TInstallerThread::RegistrationRequest() const {
    TRegistrationRequest request;
    request.strInstallPath = InstallPath();
    request.strRegFolderName = m_Target.RegFolderName();
    request.strInstallName = m_Target.Name();
    request.bNewInstall = m_bNewInstall.load();
    return request;
}

void TInstallerThread::WriteRegistry() {
    m_MainHandle.PostText(WM_SET_PROGRESS_MSG, FinishingStatusText(GetLanguage()));
    TRegistration registration(*m_Environment.hkcu);
    try {
        registration.WriteRegistry(RegistrationRequest());
    } catch (const std::exception& e) {
        return RegistrationFailed("TInstallerThread.WriteRegistry: Exception=", e);
    }
    CreateShortcuts();
}

void TInstallerThread::CreateShortcuts() {
    TRegistration registration(*m_Environment.hkcu);
    try {
        registration.CreateShortcuts(RegistrationRequest());
    } catch (const std::exception& e) {
        return RegistrationFailed("TInstallerThread.CreateShortcuts: Exception=", e);
    }
    if (m_CmdInstall.load() != citNone) return EndUnattended(ecSuccess);
    m_MainHandle.Post(WM_CHANGE_VISIBLE_FRAME, fiInstallDone);
}

void TInstallerThread::RegistrationFailed(const std::string& where, const std::exception& e) {
    AppendLog(where + e.what());
    if (m_CmdInstall.load() != citNone) return EndUnattended(ecUnexpected);
    TExceptionObject::SilentException(e);
    m_MainHandle.PostText(WM_SET_ERROR_MESSAGE, txtUnexpectedError);
    m_MainHandle.Post(WM_SETUP_STATUS, nSetupStatusRegistrationFailed);
}

void TInstallerThread::WMRetry() {
    m_bInstallationSuspended.store(false);
    if (!m_bDownloadsSetUp) return PostThreadMessage(WM_SETUP_DOWNLOADS);
    m_Queues.WakeAll();
    m_MainHandle.Post(WM_SET_PROGRESS, 0, static_cast<int64_t>(m_nProgressSize));
    PostProgressText();
    PostThreadMessage(WM_UPDATE_PROGRESS);
}

void TInstallerThread::WMRunVantix() {
    TRegistration::OpenProduct(InstallPath());
    m_MainHandle.PostQuit();
}

void TInstallerThread::VerifyInstallerUpdate() {
    if (::VerifyInstallerUpdate(*m_NetHttpClient, m_Environment.strInstallerVersionUrl + "version.txt",
                                m_Environment.strLocalInstallerVersion))
        m_MainHandle.Post(WM_SET_INSTALLER_HAS_UPDATE);
}

// ---- abort and cancel ----

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

// Safe from the engine and the window's thread at once: the lists are taken
// under their lock and the queues are discarded once.
void TInstallerThread::StopWorkers() {
    try {
        std::lock_guard lock(m_csWorkers);
        for (auto& worker : m_TExtractThreads) worker->Terminate();
        for (auto& worker : m_TDownloadThreads) worker->Terminate();
        m_Queues.Discard();
        m_Queues.WakeAll();
        for (auto& worker : m_TExtractThreads) worker->Join();
        for (auto& worker : m_TDownloadThreads) worker->Join();
        m_TExtractThreads.clear();
        m_TDownloadThreads.clear();
    } catch (const std::exception& e) {
        TExceptionObject::SilentException(e);
    }
}

void TInstallerThread::UndoInstall() {
    m_bInstallationSuspended.store(true);
    StopWorkers();
    std::string temp = TempDownloadPath();
    std::error_code ec;
    for (int attempt = 0; attempt < kUndoAttempts && std::filesystem::is_directory(temp, ec); ++attempt) {
        std::filesystem::remove_all(temp, ec);
        if (std::filesystem::is_directory(temp, ec)) std::this_thread::sleep_for(kUndoPause);
    }
}

// ---- worker operations ----

PFileToDownload TInstallerThread::WaitDownloadItem(std::chrono::milliseconds timeout) {
    return m_Queues.WaitDownloadItem(timeout);
}

PFileToDownload TInstallerThread::WaitExtractionItem(std::chrono::milliseconds timeout) {
    return m_Queues.WaitExtractionItem(timeout);
}

void TInstallerThread::EnqueueItemForDownload(PFileToDownload item) { m_Queues.EnqueueItemForDownload(std::move(item)); }

// The target folder is made under the extraction lock, so folder creation is
// serialised among workers. A folder that cannot be made is logged; the record
// is queued anyway and the extract worker's own failure handling applies.
void TInstallerThread::EnqueueItemForExtraction(PFileToDownload item) {
    std::string base = TempDownloadPath();
    m_Queues.EnqueueItemForExtraction(std::move(item), [&](const TFileToDownload& record) {
        std::string target;
        try {
            target = JoinPath(base, record.strFilePath).string();
            AppendLog("TInstallerThread.EnqueueItemForExtraction Path=" + target + " File=" + record.strFileName);
            std::error_code ec;
            if (!std::filesystem::is_directory(target, ec) && !std::filesystem::create_directories(target, ec) && ec)
                AppendLog("TInstallerThread.EnqueueItemForExtraction: Creating directory for file " +
                          record.strFileName + "(full path=" + target + ") failed with Error " +
                          std::to_string(ec.value()));
        } catch (const std::exception& e) {
            AppendLog("TInstallerThread.EnqueueItemForExtraction: Exception creating directory for file " +
                      record.strFileName + "(full path=" + target + "). Exception=" + e.what());
        }
    });
}

void TInstallerThread::UpdateTotalDownloaded(int64_t delta) { m_Queues.UpdateTotalDownloaded(delta); }

void TInstallerThread::IncrementValidatedCount() { m_Queues.IncrementValidatedCount(); }

void TInstallerThread::DecrementWorkerActiveCount() { m_Queues.DecrementWorkerActiveCount(); }

void TInstallerThread::AddFailedMd5Info(const std::string& info) {
    std::lock_guard lock(m_csFailedMd5);
    m_strlstFailedMd5.push_back(info);
}

bool TInstallerThread::SuspendInstallation() { return m_bInstallationSuspended.exchange(true); }
