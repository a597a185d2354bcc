#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "workers/BaseWorkerThread.h"
#include "workers/PackageUnpacker.h"
#include "workers/WorkerHost.h"

// An extract worker: takes downloaded packages from the engine's extraction
// queue, unpacks the first entry of each (UnpackFirstEntry) into the temporary
// download folder and checks the unpacked file's MD5 against the release's
// before it takes its final name.
//
// Threads: constructed and destroyed by the engine; Execute runs on the
// worker's thread.
class TExtractThread final : public TBaseWorkerThread {
public:
    static constexpr std::chrono::milliseconds kIdleWait{100};

    explicit TExtractThread(IWorkerHost& host);
    ~TExtractThread() override;

    // The process-wide record that an output file could not be created once
    // already; the second such failure of a run aborts it. Tests reset it.
    static void ResetCreateFailureFlag();

protected:
    void Execute() override;

private:
    // False when the worker must end at once (an unattended run that failed).
    bool ProcessItem(PFileToDownload item);
    // Whether the unpacked file, still under its temporary name, is the
    // release's; a mismatch is logged and kept for the run's report.
    bool Md5Matches(const TUnpackedFile& unpacked, const std::filesystem::path& partPath, const TFileToDownload& item);
    // Throws TReleaseRefused when the file of a signed release differs.
    static void CheckSha256(const TUnpackedFile& unpacked, const TFileToDownload& item);
    void HandleMismatch(PFileToDownload item);
    void DownloadAgain(PFileToDownload item);
    void HandleCreateFailure(PFileToDownload item, const std::string& message, const std::string& target);
    bool HandleOtherFailure(PFileToDownload item, const std::string& message, const std::string& target);

    IWorkerHost& m_Host;
};
