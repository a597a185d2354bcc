#pragma once
#include <chrono>
#include <cstdint>
#include <string>

#include "base/CommandLine.h"
#include "platform/MessageTarget.h"
#include "service/ProxySettings.h"
#include "service/ReleaseRefusal.h"
#include "workers/FileToDownload.h"
#include "workers/MemoryBudget.h"

// What the download and extract workers see of the installer engine: its two
// queues, its counters and flags, and the window to post to. The engine
// implements it; tests may stand in for it.
//
// Threads: every operation may be called from any worker thread at once.
// Taking a record counts the worker active in the same step; the worker calls
// DecrementWorkerActiveCount exactly once when that record's turn ends, after
// any enqueue of the record.
class IWorkerHost {
public:
    virtual ~IWorkerHost() = default;

    // Wait at most `timeout` for a record; none when the queues are gone or empty.
    virtual PFileToDownload WaitDownloadItem(std::chrono::milliseconds timeout) = 0;
    virtual PFileToDownload WaitExtractionItem(std::chrono::milliseconds timeout) = 0;
    virtual void EnqueueItemForDownload(PFileToDownload item) = 0;
    // Makes sure the record's target folder exists, then queues it.
    virtual void EnqueueItemForExtraction(PFileToDownload item) = 0;
    virtual void UpdateTotalDownloaded(int64_t delta) = 0;
    virtual void IncrementValidatedCount() = 0;
    virtual void DecrementWorkerActiveCount() = 0;
    virtual void AddFailedMd5Info(const std::string& info) = 0;
    // Posts the aborted frame; does not stop the workers.
    virtual void AbortUnexpectedError() = 0;
    // A package or file failed the hashes of a signed release: the run stops
    // where it is and says so (the log line, a silent report, then the exit
    // code -1 unattended or the aborted frame in the window).
    virtual void RefuseRelease(const TReleaseRefused& refusal) = 0;

    // The suspension flag: workers take no new records while it is set.
    virtual bool bInstallSuspended() const = 0;
    // Sets the flag; answers whether it was already set.
    virtual bool SuspendInstallation() = 0;
    virtual void SetMd5Failed() = 0;
    virtual bool IsNewInstall() const = 0;
    virtual TCmdInstallType GetInstallType() const = 0;
    // The installation folder, with a trailing separator.
    virtual std::string InstallPath() const = 0;
    // The folder files are unpacked into.
    virtual std::string TempDownloadPath() const = 0;
    virtual TProxySettings GetProxySettings() const = 0;
    // Downloaded packages waiting for unpacking share this budget.
    virtual TMemoryBudget& PackageBudget() = 0;
    // The window: retry frames, and the quit message of unattended failures.
    virtual IMessageTarget& MainHandle() = 0;
};
