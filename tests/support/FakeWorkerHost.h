#pragma once
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/WorkQueues.h"
#include "support/RecordingTarget.h"
#include "workers/WorkerHost.h"

// An installer engine for worker tests: real queues and counters, flags the
// test sets, and a record of what the workers reported (suspension, MD5
// failures, aborts, messages to the window). Any thread.
class FakeWorkerHost : public IWorkerHost {
public:
    FakeWorkerHost(std::filesystem::path installPath, std::filesystem::path tempDownloadPath);

    PFileToDownload WaitDownloadItem(std::chrono::milliseconds timeout) override;
    PFileToDownload WaitExtractionItem(std::chrono::milliseconds timeout) override;
    void EnqueueItemForDownload(PFileToDownload item) override;
    void EnqueueItemForExtraction(PFileToDownload item) override;
    void UpdateTotalDownloaded(int64_t delta) override;
    void IncrementValidatedCount() override;
    void DecrementWorkerActiveCount() override;
    void AddFailedMd5Info(const std::string& info) override;
    void AbortUnexpectedError() override;
    void RefuseRelease(const TReleaseRefused& refusal) override;
    bool bInstallSuspended() const override { return m_bSuspended.load(); }
    bool SuspendInstallation() override { return m_bSuspended.exchange(true); }
    void SetMd5Failed() override { m_bMd5Failed.store(true); }
    bool IsNewInstall() const override { return m_bNewInstall; }
    TCmdInstallType GetInstallType() const override { return m_InstallType; }
    std::string InstallPath() const override;
    std::string TempDownloadPath() const override;
    TProxySettings GetProxySettings() const override { return {}; }
    TMemoryBudget& PackageBudget() override { return m_Budget; }
    IMessageTarget& MainHandle() override { return m_Window; }

    // Set before the workers start.
    bool m_bNewInstall = true;
    TCmdInstallType m_InstallType = citNone;

    TWorkQueues& Queues() { return m_Queues; }
    RecordingTarget& Window() { return m_Window; }
    void Resume() { m_bSuspended.store(false); }
    bool Md5Failed() const { return m_bMd5Failed.load(); }
    int AbortCount() const { return m_nAborts.load(); }
    // The reasons of the refusals so far, in order.
    std::vector<std::string> Refusals() const;
    std::vector<std::string> FailedMd5Infos() const;
    // The engine's view: both queues empty and no worker holding a record.
    bool Idle() const { return m_Queues.RunFinished(); }
    // Takes every record off a queue, for inspection (workers stopped first).
    std::vector<PFileToDownload> DrainDownloads();
    std::vector<PFileToDownload> DrainExtractions();

private:
    std::filesystem::path m_InstallPath;
    std::filesystem::path m_TempDownloadPath;
    TWorkQueues m_Queues;
    RecordingTarget m_Window;
    TMemoryBudget m_Budget{256ull * 1024 * 1024};
    std::atomic<bool> m_bSuspended{false};
    std::atomic<bool> m_bMd5Failed{false};
    std::atomic<int> m_nAborts{0};
    mutable std::mutex m_csInfos;
    std::vector<std::string> m_lstFailedMd5;
    std::vector<std::string> m_lstRefusals;
};

// A record as the download set-up makes it.
PFileToDownload MakeRecord(const std::string& url, int64_t size, const std::string& md5,
                           const std::string& folder = "", const std::string& name = "file.bin");

// Creates `count` workers of one kind on `host` and starts them.
template <class TWorker>
void StartWorkers(IWorkerHost& host, std::vector<std::unique_ptr<TWorker>>& workers, int count) {
    for (int i = 0; i < count; ++i) workers.push_back(std::make_unique<TWorker>(host));
    for (auto& w : workers) w->Start();
}

// Asks every worker to stop, then waits for each.
template <class TWorker>
void StopWorkers(std::vector<std::unique_ptr<TWorker>>& workers) {
    for (auto& w : workers) w->Terminate();
    for (auto& w : workers) w->Join();
}
