#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "service/HttpClient.h"
#include "workers/BaseWorkerThread.h"
#include "workers/WorkerHost.h"

// A download worker: takes records from the engine's download queue, fetches
// each package into memory with TRetryPolicy's tries, checks its size and hands it to the
// extraction queue. An update skips files already installed correctly. A file
// that cannot be fetched suspends the run and shows the retry frame, or ends an
// unattended run with exit code 4. Terminate ends a transfer in progress within
// about a second, even one stalled by the server; its record goes back to the
// download queue without counting a try.
//
// Threads: constructed and destroyed by the engine; Execute runs on the
// worker's thread; CurrDownloaded is read by the engine's progress loop.
class TDownloadThread final : public TBaseWorkerThread {
public:
    static constexpr std::chrono::milliseconds kIdleWait{500};
    static constexpr std::chrono::milliseconds kSampleInterval{10};

    // Takes the engine's proxy settings as they are now.
    explicit TDownloadThread(IWorkerHost& host);
    ~TDownloadThread() override;

    // Bytes of the current file received so far, as last sampled; keeps its
    // value after the file is done until the next download starts.
    uint64_t CurrDownloaded() const { return m_nCurrDownloaded.load(std::memory_order_relaxed); }

protected:
    void Execute() override;

private:
    struct TDownloadOutcome {
        std::optional<THttpResponse> Response;  // set only when the package was fetched
        long nLastStatus = 0;                   // 0 when no answer came at all
        bool bCancelled = false;                // the worker was told to stop meanwhile
    };

    void ProcessItem(PFileToDownload& item);
    bool InstalledFileIsCurrent(const TFileToDownload& item);
    // False when the package was refused (the host was told; the record goes).
    bool PackageHashMatches(const TFileToDownload& item);
    TDownloadOutcome DownloadSingleFile(TFileToDownload& item);
    void HttpReceiveData(uint64_t nReadCount);
    void HandleDownloadFailure(PFileToDownload item);

    IWorkerHost& m_Host;
    std::unique_ptr<THttpClient> m_NetHttpClient;
    std::chrono::steady_clock::time_point m_tNextSample{};
    // 64 bits: a package may pass 4 GiB.
    std::atomic<uint64_t> m_nCurrDownloaded{0};
};
