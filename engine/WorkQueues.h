#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "workers/FileToDownload.h"

// The two work queues of a download run and the counters through which the
// engine sees the workers' progress. Both queues are stacks: records are
// appended at the end and taken from the end, so after the set-up's sort the
// largest files are fetched first.
//
// Threads: every operation may be called from any thread. Each queue has its
// own lock and no operation holds both. The queues are discarded once (end of
// run, abort, or the user cancelling); after that enqueueing does nothing and
// dequeueing answers none.
//
// End-of-run detection must never miss a record: taking a record counts the
// worker active in the same step under the queue's lock, and a worker puts a
// record on the other queue before it stops counting itself active.
class TWorkQueues {
public:
    // Fresh empty queues; the validated and active counters restart at 0 (the
    // downloaded-bytes counter does not).
    void Create();
    void Discard();
    bool Exists() const;

    void EnqueueItemForDownload(PFileToDownload item);
    // Runs `prepare` under the extraction lock before appending, so folder
    // creation for extraction targets is serialised among workers.
    void EnqueueItemForExtraction(PFileToDownload item, const std::function<void(const TFileToDownload&)>& prepare = {});

    // Both take the last record, counting the caller as an active worker when
    // they return one. The waiting forms wait at most `timeout` for a record.
    PFileToDownload DequeueDownloadItem();
    PFileToDownload DequeueExtractionItem();
    PFileToDownload WaitDownloadItem(std::chrono::milliseconds timeout);
    PFileToDownload WaitExtractionItem(std::chrono::milliseconds timeout);
    // Wakes every waiting worker (suspension lifted, workers told to stop).
    void WakeAll();

    void DecrementWorkerActiveCount();
    void UpdateTotalDownloaded(int64_t delta);
    void IncrementValidatedCount();

    // Both queues gone or empty and no worker holding a record.
    bool RunFinished() const;
    // Waits at most `timeout`, less once the last busy worker has let go of
    // its record with both queues empty: the progress loop then notices the
    // end of the run at once instead of after the rest of its pause.
    void WaitForEndOfRun(std::chrono::milliseconds timeout);
    int64_t DownloadedSize() const { return m_nDownloadedSize.load(); }
    uint32_t ValidatedCount() const { return m_nValidatedFilesCount.load(); }
    uint32_t ActiveWorkers() const { return m_nActiveWorkersCount.load(); }
    size_t DownloadCount() const { return m_Download.Count(); }
    size_t ExtractionCount() const { return m_Extraction.Count(); }

private:
    class TQueue {
    public:
        void Reset();
        void Discard();
        bool Exists() const;
        size_t Count() const;
        bool Empty() const;
        void Push(PFileToDownload item, const std::function<void(const TFileToDownload&)>& prepare);
        PFileToDownload Take(std::atomic<uint32_t>& active, std::atomic<uint64_t>& takes,
                             std::chrono::milliseconds timeout);
        void Wake();

    private:
        mutable std::mutex m_Mutex;
        std::condition_variable m_Changed;
        std::vector<PFileToDownload> m_lstItems;
        bool m_bExists = false;
    };

    TQueue m_Download;
    TQueue m_Extraction;
    std::atomic<int64_t> m_nDownloadedSize{0};
    std::atomic<uint32_t> m_nValidatedFilesCount{0};
    std::atomic<uint32_t> m_nActiveWorkersCount{0};
    std::mutex m_csEndOfRun;
    std::condition_variable m_EndOfRun;
    bool m_bEndOfRunSeen = false;
    std::atomic<uint64_t> m_nTakes{0};  // records taken so far, for end-of-run detection
};
