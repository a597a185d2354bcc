#pragma once
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "workers/BaseWorkerThread.h"
#include "workers/WorkerHost.h"

// The output file of an extraction could not be created (typically the product
// is running and holds it). The record keeps its package and is unpacked again
// after the user's retry.
class EFCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An extract worker: takes downloaded packages from the engine's extraction
// queue, unpacks the first entry of each (a one-entry zip) into the temporary
// download folder and compares the unpacked file's MD5 with the release's.
//
// The unpacked file is written under a temporary name beside its final one and
// renamed over it only when complete and flushed, so a failed or interrupted
// unpacking never leaves a truncated file under a real name: in an update each
// installed file is either the old one or the new one.
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
    void CheckUnpackedFile(const std::filesystem::path& path, const TFileToDownload& item);
    void HandleCreateFailure(PFileToDownload item, const std::string& message, const std::string& target);
    bool HandleOtherFailure(PFileToDownload item, const std::string& message, const std::string& target);

    IWorkerHost& m_Host;
};

// Unpacks the first entry of the zip archive held in `package` into `target`,
// creating the sub-folders its name holds; other entries are ignored. Returns
// the path of the unpacked file. Entry names that would leave `target`
// (absolute, "..") are refused, and so is an entry that unpacks to more than
// its declared size or than a thousandfold of the package (a decompression
// bomb). Throws EFCreateError when the output file cannot be created or put in
// place, std::runtime_error for a damaged archive or a refused name.
std::filesystem::path ExtractFirstEntry(const std::string& package, const std::filesystem::path& target);
