#include "support/FakeWorkerHost.h"

#include "platform/PathJoin.h"

FakeWorkerHost::FakeWorkerHost(std::filesystem::path installPath, std::filesystem::path tempDownloadPath)
    : m_InstallPath(std::move(installPath)), m_TempDownloadPath(std::move(tempDownloadPath)) {
    m_Queues.Create();
}

PFileToDownload FakeWorkerHost::WaitDownloadItem(std::chrono::milliseconds timeout) {
    return m_Queues.WaitDownloadItem(timeout);
}

PFileToDownload FakeWorkerHost::WaitExtractionItem(std::chrono::milliseconds timeout) {
    return m_Queues.WaitExtractionItem(timeout);
}

void FakeWorkerHost::EnqueueItemForDownload(PFileToDownload item) { m_Queues.EnqueueItemForDownload(std::move(item)); }

// Like the engine: the target folder is made when it can be; the record is
// queued in any case and the extract worker copes with a missing folder.
void FakeWorkerHost::EnqueueItemForExtraction(PFileToDownload item) {
    m_Queues.EnqueueItemForExtraction(std::move(item), [this](const TFileToDownload& record) {
        try {
            std::error_code ec;
            std::filesystem::create_directories(JoinPath(m_TempDownloadPath, record.strFilePath), ec);
        } catch (const std::exception&) {
        }
    });
}

void FakeWorkerHost::UpdateTotalDownloaded(int64_t delta) { m_Queues.UpdateTotalDownloaded(delta); }
void FakeWorkerHost::IncrementValidatedCount() { m_Queues.IncrementValidatedCount(); }
void FakeWorkerHost::DecrementWorkerActiveCount() { m_Queues.DecrementWorkerActiveCount(); }

void FakeWorkerHost::AddFailedMd5Info(const std::string& info) {
    std::lock_guard lock(m_csInfos);
    m_lstFailedMd5.push_back(info);
}

void FakeWorkerHost::AbortUnexpectedError() { m_nAborts.fetch_add(1); }

void FakeWorkerHost::RefuseRelease(const TReleaseRefused& refusal) {
    SuspendInstallation();
    std::lock_guard lock(m_csInfos);
    m_lstRefusals.push_back(refusal.Reason());
}

std::vector<std::string> FakeWorkerHost::Refusals() const {
    std::lock_guard lock(m_csInfos);
    return m_lstRefusals;
}

std::string FakeWorkerHost::InstallPath() const {
    std::string path = m_InstallPath.string();
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string FakeWorkerHost::TempDownloadPath() const { return m_TempDownloadPath.string(); }

std::vector<std::string> FakeWorkerHost::FailedMd5Infos() const {
    std::lock_guard lock(m_csInfos);
    return m_lstFailedMd5;
}

namespace {
std::vector<PFileToDownload> Drain(TWorkQueues& queues, PFileToDownload (TWorkQueues::*take)()) {
    std::vector<PFileToDownload> items;
    while (PFileToDownload item = (queues.*take)()) {
        queues.DecrementWorkerActiveCount();
        items.push_back(std::move(item));
    }
    return items;
}
}  // namespace

std::vector<PFileToDownload> FakeWorkerHost::DrainDownloads() {
    return Drain(m_Queues, &TWorkQueues::DequeueDownloadItem);
}

std::vector<PFileToDownload> FakeWorkerHost::DrainExtractions() {
    return Drain(m_Queues, &TWorkQueues::DequeueExtractionItem);
}

PFileToDownload MakeRecord(const std::string& url, int64_t size, const std::string& md5, const std::string& folder,
                           const std::string& name) {
    auto record = std::make_unique<TFileToDownload>();
    record->strFileUrl = url;
    record->nDownloadSize = size;
    record->strFileMd5 = md5;
    record->strFilePath = folder;
    record->strFileName = name;
    return record;
}
