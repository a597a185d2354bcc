#include "workers/DownloadThread.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <stdexcept>
#include <string>

#include "base/ExitCode.h"
#include "base/Texts.h"
#include "diagnostics/ExceptionObject.h"
#include "diagnostics/Log.h"
#include "platform/PathJoin.h"
#include "platform/Sha256Digest.h"
#include "workers/FileHashing.h"
#include "workers/RetryPolicy.h"

namespace {

// Writes the body into the package from its start. When a size is expected,
// bytes beyond it are counted but not kept: the size check fails either way,
// and a server that sends far more than announced cannot exhaust memory.
// Keeps a package body up to `nMaxBytes`; one byte more ends the transfer:
// a body that goes on past its declared size, or a body without one that
// would take more memory than one package may, fails its try at once.
class TPackageSink : public IHttpBodySink {
public:
    TPackageSink(std::string& data, uint64_t nMaxBytes) : m_Data(data), m_nMaxBytes(nMaxBytes) { m_Data.clear(); }

    void Reserve(uint64_t nBytes) override { m_Data.reserve(static_cast<size_t>(std::min(nBytes, m_nMaxBytes))); }

    void Write(const char* pData, size_t nSize) override {
        if (nSize > m_nMaxBytes - m_Data.size())
            throw std::length_error("Package body larger than " + std::to_string(m_nMaxBytes) + " bytes");
        m_Data.append(pData, nSize);
    }

private:
    std::string& m_Data;
    const uint64_t m_nMaxBytes;
};

// The most bytes a try may receive: the declared size, else what the memory
// budget allows one package.
uint64_t BodyLimit(int64_t nDeclared, const TMemoryBudget& budget) {
    return nDeclared > 0 ? static_cast<uint64_t>(nDeclared) : budget.Limit();
}

std::string ResponseDetails(const THttpResponse& response, const TFileToDownload& item) {
    return "StatusCode=" + std::to_string(response.nStatus) + " StatusText=" + response.strStatusText +
           " Size=" + std::to_string(response.nContentLength) + " ExpectedSize=" +
           std::to_string(item.nDownloadSize) + " File=" + item.strFileMd5;
}

}  // namespace

TDownloadThread::TDownloadThread(IWorkerHost& host)
    : TBaseWorkerThread("vxDownload"), m_Host(host), m_NetHttpClient(std::make_unique<THttpClient>()) {
    m_NetHttpClient->SetProxy(m_Host.GetProxySettings());
    m_NetHttpClient->SetAcceptEncoding("gzip, deflate");
    m_NetHttpClient->SetProgressCallback([this](uint64_t nReceived) { HttpReceiveData(nReceived); });
    // Without it a worker told to stop while the server stalls would wait for
    // the client's low-speed limit, and stopping the run with it.
    m_NetHttpClient->SetAbortCheck([this] { return Terminated(); });
}

TDownloadThread::~TDownloadThread() { Stop(); }

void TDownloadThread::Execute() {
    while (!Terminated()) {
        if (m_Host.bInstallSuspended()) {
            Idle(kIdleWait);
            continue;
        }
        PFileToDownload item = m_Host.WaitDownloadItem(kIdleWait);
        if (!item) continue;
        try {
            // The wait may end with a record just put back by a worker that
            // suspended the run: it waits for the user's retry like the rest.
            if (m_Host.bInstallSuspended() || Terminated())
                m_Host.EnqueueItemForDownload(std::move(item));
            else
                ProcessItem(item);
        } catch (const std::exception& e) {
            AppendLog("TDownloadThread.Execute: Exception=" + std::string(e.what()) +
                      (item ? " File=" + item->strFileMd5 : std::string()));
            TExceptionObject::SilentException(e);
            try {
                if (item) HandleDownloadFailure(std::move(item));
            } catch (const std::exception& again) {
                AppendLog("TDownloadThread.Execute: Exception handling a failed download=" +
                          std::string(again.what()));
            }
        }
        m_Host.DecrementWorkerActiveCount();
    }
    m_NetHttpClient.reset();
}

void TDownloadThread::ProcessItem(PFileToDownload& item) {
    if (!m_Host.IsNewInstall() && InstalledFileIsCurrent(*item)) {
        m_Host.UpdateTotalDownloaded(item->nDownloadSize);
        item.reset();
        return;
    }

    auto reservation = m_Host.PackageBudget().Acquire(static_cast<uint64_t>(std::max<int64_t>(item->nDownloadSize, 0)),
                                                      [this] { return Terminated(); });
    if (Terminated()) {
        m_Host.EnqueueItemForDownload(std::move(item));
        return;
    }

    m_nCurrDownloaded.store(0, std::memory_order_relaxed);
    item->Stream = std::make_unique<TPackage>();
    item->Stream->reservation = std::move(reservation);

    TDownloadOutcome outcome = DownloadSingleFile(*item);
    if (outcome.bCancelled) {
        item->Stream.reset();
        m_Host.EnqueueItemForDownload(std::move(item));
        return;
    }
    if (outcome.Response && outcome.Response->nStatus == 200) {
        if (!PackageHashMatches(*item)) return;
        const int64_t nSize = item->nDownloadSize;
        // Queued before it is counted, and before this worker stops counting
        // itself active, so the end of the run can never be seen too early.
        m_Host.EnqueueItemForExtraction(std::move(item));
        m_Host.UpdateTotalDownloaded(nSize);
        return;
    }
    AppendLog("TDownloadThread: Failed to download File=" + item->strFileUrl +
              " HttpStatus=" + std::to_string(outcome.nLastStatus));
    HandleDownloadFailure(std::move(item));
}

// A signed release names the SHA-256 of each package: the package reader never
// sees bytes that are not the release's. A mismatch is no network fault that
// another try would mend (the size was right): the release is refused.
bool TDownloadThread::PackageHashMatches(const TFileToDownload& item) {
    if (item.strPackageSha256.empty()) return true;
    const std::string actual = Sha256Hex(item.Stream->data);
    if (actual == item.strPackageSha256) return true;
    m_Host.RefuseRelease(TReleaseRefused(refusal::kPackageHash, "the package " + item.strFileUrl + " of " +
                                                                    item.strFileName + " has SHA-256 " + actual +
                                                                    ", the release says " + item.strPackageSha256));
    return false;
}

bool TDownloadThread::InstalledFileIsCurrent(const TFileToDownload& item) {
    std::filesystem::path installed;
    try {
        installed = JoinPath(JoinPath(m_Host.InstallPath(), item.strFilePath), item.strFileName);
    } catch (const std::exception& e) {
        // Not a file we could have installed; the download and unpacking report it.
        AppendLog("TDownloadThread.Execute: Exception=" + std::string(e.what()) + " File=" + item.strFileMd5);
        return false;
    }
    return ValidateMD5Hash(installed, item.strFileMd5);
}

TDownloadThread::TDownloadOutcome TDownloadThread::DownloadSingleFile(TFileToDownload& item) {
    TDownloadOutcome outcome;
    for (;;) {
        const uint32_t nTry = item.nRetries;
        if (nTry >= TRetryPolicy::kDownloadTries) {
            AppendLog("TDownloadThread.DownloadSingleFile: Download failed, retry limit reached | Try=" +
                      std::to_string(nTry) + " File=" + item.strFileMd5);
            return outcome;
        }
        try {
            AppendLog("TDownloadThread.DownloadSingleFile: Try=" + std::to_string(nTry) +
                      " ExpectedSize=" + std::to_string(item.nDownloadSize) + " URL=" + item.strFileUrl);
        } catch (...) {
            AppendLog("TDownloadThread.DownloadSingleFile Log Exception");
        }

        THttpResponse response;
        try {
            const uint64_t nLimit = BodyLimit(item.nDownloadSize, m_Host.PackageBudget());
            TPackageSink sink(item.Stream->data, nLimit);
            m_NetHttpClient->SetTransferDeadline(TRetryPolicy::TryDeadline(nLimit));
            response = m_NetHttpClient->Get(item.strFileUrl, sink);
        } catch (const std::exception& e) {
            // Stopping ends the transfer through the client's abort check, or
            // surfaces as a broken transfer when the connection goes with it:
            // either way a stop, not a failed try.
            if (Terminated()) {
                AppendLog("TDownloadThread.DownloadSingleFile: Download stopped, the worker is ending | Try=" +
                          std::to_string(nTry) + " File=" + item.strFileMd5);
                outcome.bCancelled = true;
                return outcome;
            }
            outcome.nLastStatus = 0;
            TExceptionObject::SilentException("TDownloadThread.DownloadSingleFile: Exception | Error=" +
                                              std::string(e.what()));
            ++item.nRetries;
            continue;
        }

        outcome.nLastStatus = response.nStatus;
        if (response.nStatus == 0) {
            AppendLog("TDownloadThread.DownloadSingleFile: Download failed, no response | Try=" +
                      std::to_string(item.nRetries) + " File=" + item.strFileMd5);
            ++item.nRetries;
            continue;
        }
        if (response.nStatus != 200) {
            AppendLog("TDownloadThread.DownloadSingleFile: Download failed, bad response | " +
                      ResponseDetails(response, item));
            ++item.nRetries;
            continue;
        }
        const bool bSizeRight = item.nDownloadSize <= 0 ||
                                (response.nContentLength == item.nDownloadSize &&
                                 static_cast<int64_t>(item.Stream->data.size()) == item.nDownloadSize &&
                                 response.nReceived == static_cast<uint64_t>(item.nDownloadSize));
        if (!bSizeRight) {
            AppendLog("TDownloadThread.DownloadSingleFile: Download failed | " + ResponseDetails(response, item));
            ++item.nRetries;
            continue;
        }
        AppendLog("TDownloadThread.DownloadSingleFile: Download succeeded | StatusCode=" +
                  std::to_string(response.nStatus) + " StatusText=" + response.strStatusText +
                  " Size=" + std::to_string(response.nContentLength) + " File=" + item.strFileMd5);
        outcome.Response = response;
        return outcome;
    }
}

void TDownloadThread::HttpReceiveData(uint64_t nReadCount) {
    const auto now = std::chrono::steady_clock::now();
    if (now < m_tNextSample) return;
    m_tNextSample = now + kSampleInterval;
    m_nCurrDownloaded.store(nReadCount, std::memory_order_relaxed);
}

void TDownloadThread::HandleDownloadFailure(PFileToDownload item) {
    // Unattended: the run ends here; the record goes with it.
    if (m_Host.GetInstallType() != citNone) return TRetryPolicy::EndUnattended(m_Host.MainHandle(), ecDownloadFailed);
    item->nRetries = 0;
    item->Stream.reset();
    TRetryPolicy::SuspendAndShowRetry(m_Host, txtCheckConnection,
                                      [&] { m_Host.EnqueueItemForDownload(std::move(item)); });
}
