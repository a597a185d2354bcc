#include "workers/ExtractThread.h"

#include <atomic>
#include <exception>

#include "base/ExitCode.h"
#include "base/Texts.h"
#include "diagnostics/Log.h"
#include "platform/PathJoin.h"
#include "workers/FileHashing.h"
#include "workers/RetryPolicy.h"

namespace {

// Shared by every extract worker of the process: the first failure to create
// an output file lets the user retry, the second aborts the run.
std::atomic<bool> g_bCreateFailedOnce{false};

}  // namespace

TExtractThread::TExtractThread(IWorkerHost& host) : TBaseWorkerThread("vxExtract"), m_Host(host) {}

TExtractThread::~TExtractThread() { Stop(); }

void TExtractThread::ResetCreateFailureFlag() { g_bCreateFailedOnce.store(false); }

void TExtractThread::Execute() {
    while (!Terminated()) {
        if (m_Host.bInstallSuspended()) {
            Idle(kIdleWait);
            continue;
        }
        PFileToDownload item = m_Host.WaitExtractionItem(kIdleWait);
        if (!item) continue;
        bool bGoOn = true;
        try {
            // A record just put back by a worker that suspended the run must
            // wait for the user's retry, not fail a second time at once.
            if (m_Host.bInstallSuspended() || Terminated())
                m_Host.EnqueueItemForExtraction(std::move(item));
            else
                bGoOn = ProcessItem(std::move(item));
        } catch (const std::exception& e) {
            AppendLog("TExtractThread.Execute: Exception=" + std::string(e.what()));
        }
        m_Host.DecrementWorkerActiveCount();
        if (!bGoOn) break;
    }
}

bool TExtractThread::ProcessItem(PFileToDownload item) {
    std::string target;
    try {
        if (!item->Stream) throw std::runtime_error("No package to unpack");
        target = JoinPath(m_Host.TempDownloadPath(), item->strFilePath).string();
        AppendLog("TExtractThread: Extracting=" + item->strFileName + " to=" + target);
        // A new installation is unpacked into a folder of its own that the
        // engine flushes once before putting it in place; an update replaces
        // installed files one by one, each of which must be whole on disk first.
        TUnpackOptions options;
        options.strFileName = item->strFileName;
        options.fnAccept = [&](const TUnpackedFile& file, const std::filesystem::path& part) {
            if (!Md5Matches(file, part, *item)) return false;
            CheckSha256(file, *item);
            return true;
        };
        options.bSha256 = !item->strFileSha256.empty();
        options.fnStopped = [this] { return Terminated(); };
        const TUnpackedFile unpacked = UnpackFirstEntry(
            item->Stream->data, target, kMaxUnpackedSize,
            m_Host.IsNewInstall() ? TUnpackDurability::eCallerFlushes : TUnpackDurability::eFlushEachFile, options);
        item->Stream.reset();
        if (!unpacked.bPlaced) {
            HandleMismatch(std::move(item));
            return true;
        }
        item.reset();
        m_Host.IncrementValidatedCount();
        return true;
    } catch (const TReleaseRefused& e) {
        // The file was never placed; the run ends here.
        m_Host.RefuseRelease(e);
        return m_Host.GetInstallType() == citNone;
    } catch (const EUnpackStopped& e) {
        // The run is being stopped: its queues go with it.
        AppendLog("TExtractThread.Execute: " + std::string(e.what()) + ", the worker is ending");
        return false;
    } catch (const EFCreateError& e) {
        HandleCreateFailure(std::move(item), e.what(), target);
        return true;
    } catch (const std::exception& e) {
        return HandleOtherFailure(std::move(item), e.what(), target);
    }
}

bool TExtractThread::Md5Matches(const TUnpackedFile& unpacked, const std::filesystem::path& partPath,
                                const TFileToDownload& item) {
    if (ValidateMD5Digest(unpacked.path, unpacked.strMd5, item.strFileMd5, partPath)) return true;
    m_Host.SetMd5Failed();
    const std::string info = "File: " + item.strFileName + " Remote MD5: " + item.strFileMd5 +
                             " Local MD5: " + unpacked.strMd5 + " Modified at: " + GetFileModifiedTime(partPath) +
                             " File size: " + GetFileSizeText(partPath) + " bytes";
    AppendLog("TExtractThread.Execute: Invalid hash for " + info);
    m_Host.AddFailedMd5Info(info);
    return false;
}

// The file of a signed release must also have the SHA-256 it names; the
// package was already verified, so a mismatch is the release's own fault.
void TExtractThread::CheckSha256(const TUnpackedFile& unpacked, const TFileToDownload& item) {
    if (item.strFileSha256.empty() || unpacked.strSha256 == item.strFileSha256) return;
    throw TReleaseRefused(refusal::kFileHash, "the file " + item.strFilePath + item.strFileName + " has SHA-256 " +
                                                  unpacked.strSha256 + ", the release says " + item.strFileSha256);
}

// The mismatching file was never placed. Unattended, the run goes on to its
// end, where the mismatches are reported and it ends without success; in the
// window the file is fetched again like a damaged package, so the retry frame
// follows when the server keeps sending it.
void TExtractThread::HandleMismatch(PFileToDownload item) {
    if (m_Host.GetInstallType() != citNone) return m_Host.IncrementValidatedCount();
    DownloadAgain(std::move(item));
}

// Counts as a failed download try; the partly written file is already gone
// and an installed file of that name was never touched.
void TExtractThread::DownloadAgain(PFileToDownload item) {
    ++item->nRetries;
    item->Stream.reset();
    const int64_t nSize = item->nDownloadSize;
    m_Host.EnqueueItemForDownload(std::move(item));
    m_Host.UpdateTotalDownloaded(-nSize);
}

void TExtractThread::HandleCreateFailure(PFileToDownload item, const std::string& message, const std::string& target) {
    const std::string details = ". File=" + item->strFileName + ". Path=" + target + "  Remote Md5=" + item->strFileMd5;
    m_Host.SuspendInstallation();
    // Keeps its package: after the retry it is unpacked again without a download.
    m_Host.EnqueueItemForExtraction(std::move(item));
    AppendLog("TExtractThread.Execute: Exception (EFCreateError) =" + message + details);
    if (g_bCreateFailedOnce.exchange(true)) {
        AppendLog("TExtractThread.Execute: Extraction failed again. Aborting...");
        m_Host.AbortUnexpectedError();
        return;
    }
    AppendLog("TExtractThread.Execute: Extraction failed once. Retry allowed.");
    TRetryPolicy::ShowRetryFrame(m_Host.MainHandle(), txtInstallError);
}

bool TExtractThread::HandleOtherFailure(PFileToDownload item, const std::string& message, const std::string& target) {
    AppendLog("TExtractThread.Execute: Exception=" + message + ". File=" + item->strFileName + ". Path=" + target +
              "  Remote Md5=" + item->strFileMd5);
    if (m_Host.GetInstallType() != citNone) {
        TRetryPolicy::EndUnattended(m_Host.MainHandle(), ecUnexpected);
        return false;
    }
    DownloadAgain(std::move(item));
    return true;
}
