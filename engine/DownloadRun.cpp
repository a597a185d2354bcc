#include "engine/DownloadRun.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "base/Texts.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/Log.h"
#include "platform/PathJoin.h"
#include "workers/DownloadThread.h"
#include "workers/ExtractThread.h"

TDownloadRun::TDownloadRun(IMessageTarget& window, const std::atomic<TCmdInstallType>& cmdInstall,
                           std::function<void(const std::string&)> fnPostAbortFrame, uint64_t nFixedPackageBudget)
    : m_Window(window),
      m_CmdInstall(cmdInstall),
      m_fnPostAbortFrame(std::move(fnPostAbortFrame)),
      m_bFixedPackageBudget(nFixedPackageBudget != 0),
      m_PackageBudget(nFixedPackageBudget ? nFixedPackageBudget : TDownloadPlan::kMinPackageBudget) {
    m_strlstFailedMd5.push_back("Invalid md5 verified while installing");
}

TDownloadRun::~TDownloadRun() { StopWorkers(); }

void TDownloadRun::AbortUnexpectedError() { m_fnPostAbortFrame(txtUnexpectedError); }

// The run stays suspended behind the aborted frame, which offers no retry:
// asking the same server again would get the same release. Unattended, that
// frame ends the run with -1 (and a run without a window prints its text).
void TDownloadRun::RefuseRelease(const std::string& text) {
    AppendLog("TDownloadRun.RefuseRelease: Release not verified: " + text);
    TExceptionObject::SilentException("Release not verified: " + text);
    if (!SuspendInstallation()) m_fnPostAbortFrame(txtReleaseNotVerified);
}

void TDownloadRun::SetInstallPath(const std::string& path) {
    std::lock_guard lock(m_csTarget);
    m_strInstallPath = path;
}

void TDownloadRun::SetTempDownloadPath(const std::string& path) {
    std::lock_guard lock(m_csTarget);
    m_strTempDownloadPath = path;
}

std::string TDownloadRun::InstallPath() const {
    std::lock_guard lock(m_csTarget);
    return m_strInstallPath;
}

std::string TDownloadRun::TempDownloadPath() const {
    std::lock_guard lock(m_csTarget);
    return m_strTempDownloadPath;
}

void TDownloadRun::SetProxySettings(const TProxySettings& proxy) {
    std::lock_guard lock(m_csProxy);
    m_ProxySettings = proxy;
}

TProxySettings TDownloadRun::GetProxySettings() const {
    std::lock_guard lock(m_csProxy);
    return m_ProxySettings;
}

// ---- set-up and progress ----

void TDownloadRun::Begin(TDownloadPlan& plan, size_t nDownloadWorkers, size_t nExtractWorkers,
                         const std::string& strVersion) {
    CreateWorkers(nDownloadWorkers, nExtractWorkers);
    m_Queues.Create();
    for (auto& record : plan.lstRecords) m_Queues.EnqueueItemForDownload(std::move(record));
    m_nProgressSize = plan.nProgressSize;
    m_nFileExtractedProgress = plan.nFileExtractedProgress;
    if (!m_bFixedPackageBudget) m_PackageBudget.SetLimit(plan.nPackageBudget);
    m_bSetUp = true;
    std::lock_guard lock(m_csFailedMd5);
    m_strlstFailedMd5.push_back("Version=" + strVersion);
}

void TDownloadRun::CreateWorkers(size_t nDownloadWorkers, size_t nExtractWorkers) {
    std::lock_guard lock(m_csWorkers);
    for (size_t i = 0; i < nDownloadWorkers; ++i)
        m_TDownloadThreads.push_back(std::make_unique<TDownloadThread>(*this));
    for (size_t i = 0; i < nExtractWorkers; ++i) m_TExtractThreads.push_back(std::make_unique<TExtractThread>(*this));
}

void TDownloadRun::StartDownloadWorkers() {
    std::lock_guard lock(m_csWorkers);
    for (auto& worker : m_TDownloadThreads) worker->Start();
}

void TDownloadRun::StartExtractWorkers() {
    std::lock_guard lock(m_csWorkers);
    for (auto& worker : m_TExtractThreads) worker->Start();
}

uint64_t TDownloadRun::ProgressDone() const {
    uint64_t done = uint64_t(m_Queues.ValidatedCount()) * m_nFileExtractedProgress +
                    static_cast<uint64_t>(std::max<int64_t>(0, m_Queues.DownloadedSize()));
    std::lock_guard lock(m_csWorkers);
    for (const auto& worker : m_TDownloadThreads) done += worker->CurrDownloaded();
    return done;
}

std::vector<std::string> TDownloadRun::TakeFailedMd5Lines() {
    std::lock_guard lock(m_csFailedMd5);
    return std::exchange(m_strlstFailedMd5, {});
}

void TDownloadRun::AddFailedMd5Info(const std::string& info) {
    std::lock_guard lock(m_csFailedMd5);
    m_strlstFailedMd5.push_back(info);
}

// Safe from the engine and the window's thread at once: the lists are taken
// under their lock and the queues are discarded once.
void TDownloadRun::StopWorkers() {
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

// ---- the workers' queues ----

PFileToDownload TDownloadRun::WaitDownloadItem(std::chrono::milliseconds timeout) {
    return m_Queues.WaitDownloadItem(timeout);
}

PFileToDownload TDownloadRun::WaitExtractionItem(std::chrono::milliseconds timeout) {
    return m_Queues.WaitExtractionItem(timeout);
}

void TDownloadRun::EnqueueItemForDownload(PFileToDownload item) { m_Queues.EnqueueItemForDownload(std::move(item)); }

// The target folder is made under the extraction lock, so folder creation is
// serialised among workers. A folder that cannot be made is logged; the record
// is queued anyway and the extract worker's own failure handling applies.
void TDownloadRun::EnqueueItemForExtraction(PFileToDownload item) {
    const std::string base = TempDownloadPath();
    m_Queues.EnqueueItemForExtraction(std::move(item),
                                      [&](const TFileToDownload& record) { CreateTargetFolder(base, record); });
}

void TDownloadRun::CreateTargetFolder(const std::string& base, const TFileToDownload& record) {
    std::string target;
    try {
        target = JoinPath(base, record.strFilePath).string();
        AppendLog("TInstallerThread.EnqueueItemForExtraction Path=" + target + " File=" + record.strFileName);
        std::error_code ec;
        if (!std::filesystem::is_directory(target, ec) && !std::filesystem::create_directories(target, ec) && ec)
            AppendLog("TInstallerThread.EnqueueItemForExtraction: Creating directory for file " + record.strFileName +
                      "(full path=" + target + ") failed with Error " + std::to_string(ec.value()));
    } catch (const std::exception& e) {
        AppendLog("TInstallerThread.EnqueueItemForExtraction: Exception creating directory for file " +
                  record.strFileName + "(full path=" + target + "). Exception=" + e.what());
    }
}
