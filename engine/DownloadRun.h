#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/DownloadPlan.h"
#include "engine/WorkQueues.h"
#include "workers/WorkerHost.h"

class TDownloadThread;
class TExtractThread;

// One download run of the engine: its two queues, the memory budget of the
// packages waiting to be unpacked, the counters, the workers, the list of
// files that failed their MD5 check, and the folders files are unpacked into.
// It is the workers' host: everything a worker asks of the engine is answered
// here, so the engine's own thread keeps only the run's steps.
//
// Threads: the set-up and the progress operations run on the engine thread;
// StopWorkers and the suspension may also come from the window's thread (the
// user cancelling); the IWorkerHost operations come from the workers.
class TDownloadRun final : public IWorkerHost {
public:
    // `cmdInstall` is the engine's unattended mode, read as it is when asked.
    // `fnPostAbortFrame` shows the aborted frame with a text. A `nFixedPackageBudget` of 0
    // lets each release's plan set the budget.
    TDownloadRun(IMessageTarget& window, const std::atomic<TCmdInstallType>& cmdInstall,
                 std::function<void(const std::string&)> fnPostAbortFrame, uint64_t nFixedPackageBudget);
    ~TDownloadRun() override;
    TDownloadRun(const TDownloadRun&) = delete;
    TDownloadRun& operator=(const TDownloadRun&) = delete;

    // The target, set by the engine between runs.
    void SetNewInstall(bool bNewInstall) { m_bNewInstall.store(bNewInstall); }
    void SetInstallPath(const std::string& path);
    void SetTempDownloadPath(const std::string& path);
    void SetProxySettings(const TProxySettings& proxy);

    // Makes the workers and fills the download queue from `plan`; the plan's
    // records are taken. `strVersion` heads the run's MD5 report.
    void Begin(TDownloadPlan& plan, size_t nDownloadWorkers, size_t nExtractWorkers, const std::string& strVersion);
    // A run is set up once a release was read; a retry before that asks again.
    bool IsSetUp() const { return m_bSetUp; }
    void StartDownloadWorkers();
    void StartExtractWorkers();

    // Both queues gone or empty and no worker holding a record.
    bool Finished() const { return m_Queues.RunFinished(); }
    // Waits at most `timeout`, less when the run ends meanwhile.
    void WaitForEnd(std::chrono::milliseconds timeout) { m_Queues.WaitForEndOfRun(timeout); }
    // Progress units done so far, and of the whole run.
    uint64_t ProgressDone() const;
    uint64_t ProgressSize() const { return m_nProgressSize; }
    bool Md5Failed() const { return m_bMd5ValidationFailed.load(); }
    // The MD5 report's lines so far; the list is left empty.
    std::vector<std::string> TakeFailedMd5Lines();

    // Stops and joins every worker and discards the queues. Any thread.
    void StopWorkers();
    // Lifts the suspension (the user's retry).
    void Resume() { m_bInstallationSuspended.store(false); }
    // Wakes the workers that wait for a record.
    void WakeWorkers() { m_Queues.WakeAll(); }

    // IWorkerHost
    PFileToDownload WaitDownloadItem(std::chrono::milliseconds timeout) override;
    PFileToDownload WaitExtractionItem(std::chrono::milliseconds timeout) override;
    void EnqueueItemForDownload(PFileToDownload item) override;
    void EnqueueItemForExtraction(PFileToDownload item) override;
    void UpdateTotalDownloaded(int64_t delta) override { m_Queues.UpdateTotalDownloaded(delta); }
    void IncrementValidatedCount() override { m_Queues.IncrementValidatedCount(); }
    void DecrementWorkerActiveCount() override { m_Queues.DecrementWorkerActiveCount(); }
    void AddFailedMd5Info(const std::string& info) override;
    void AbortUnexpectedError() override;
    void RefuseRelease(const TReleaseRefused& refusal) override { RefuseRelease(refusal.Text()); }
    // The same for the text of a refused version document.
    void RefuseRelease(const std::string& text);
    bool bInstallSuspended() const override { return m_bInstallationSuspended.load(); }
    bool SuspendInstallation() override { return m_bInstallationSuspended.exchange(true); }
    void SetMd5Failed() override { m_bMd5ValidationFailed.store(true); }
    bool IsNewInstall() const override { return m_bNewInstall.load(); }
    TCmdInstallType GetInstallType() const override { return m_CmdInstall.load(); }
    std::string InstallPath() const override;
    std::string TempDownloadPath() const override;
    TProxySettings GetProxySettings() const override;
    TMemoryBudget& PackageBudget() override { return m_PackageBudget; }
    IMessageTarget& MainHandle() override { return m_Window; }

private:
    void CreateWorkers(size_t nDownloadWorkers, size_t nExtractWorkers);
    void CreateTargetFolder(const std::string& base, const TFileToDownload& record);

    IMessageTarget& m_Window;
    const std::atomic<TCmdInstallType>& m_CmdInstall;
    std::function<void(const std::string&)> m_fnPostAbortFrame;
    const bool m_bFixedPackageBudget;

    mutable std::mutex m_csProxy;  // workers read the settings while the engine may replace them
    TProxySettings m_ProxySettings;
    std::atomic<bool> m_bNewInstall{false};
    mutable std::mutex m_csTarget;  // the paths change between runs while workers read them
    std::string m_strTempDownloadPath;
    std::string m_strInstallPath;

    TWorkQueues m_Queues;
    TMemoryBudget m_PackageBudget;
    mutable std::mutex m_csWorkers;
    std::vector<std::unique_ptr<TDownloadThread>> m_TDownloadThreads;
    std::vector<std::unique_ptr<TExtractThread>> m_TExtractThreads;
    uint64_t m_nProgressSize = 0;
    uint64_t m_nFileExtractedProgress = 0;
    bool m_bSetUp = false;

    std::atomic<bool> m_bInstallationSuspended{false};
    std::atomic<bool> m_bMd5ValidationFailed{false};
    std::mutex m_csFailedMd5;
    std::vector<std::string> m_strlstFailedMd5;
};
