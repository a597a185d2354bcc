#include "engine/WorkQueues.h"

void TWorkQueues::TQueue::Reset() {
    std::lock_guard lock(m_Mutex);
    m_lstItems.clear();
    m_bExists = true;
}

void TWorkQueues::TQueue::Discard() {
    std::vector<PFileToDownload> released;
    {
        std::lock_guard lock(m_Mutex);
        released.swap(m_lstItems);
        m_bExists = false;
    }
    m_Changed.notify_all();
}

bool TWorkQueues::TQueue::Exists() const {
    std::lock_guard lock(m_Mutex);
    return m_bExists;
}

size_t TWorkQueues::TQueue::Count() const {
    std::lock_guard lock(m_Mutex);
    return m_lstItems.size();
}

bool TWorkQueues::TQueue::Empty() const { return Count() == 0; }

void TWorkQueues::TQueue::Push(PFileToDownload item, const std::function<void(const TFileToDownload&)>& prepare) {
    {
        std::lock_guard lock(m_Mutex);
        if (!m_bExists) return;
        if (prepare) prepare(*item);
        m_lstItems.push_back(std::move(item));
    }
    m_Changed.notify_one();
}

PFileToDownload TWorkQueues::TQueue::Take(std::atomic<uint32_t>& active, std::atomic<uint64_t>& takes,
                                          std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_Mutex);
    if (timeout.count() > 0)
        m_Changed.wait_for(lock, timeout, [this] { return !m_bExists || !m_lstItems.empty(); });
    if (!m_bExists || m_lstItems.empty()) return nullptr;
    active.fetch_add(1);
    takes.fetch_add(1);
    PFileToDownload item = std::move(m_lstItems.back());
    m_lstItems.pop_back();
    return item;
}

void TWorkQueues::TQueue::Wake() { m_Changed.notify_all(); }

void TWorkQueues::Create() {
    m_Download.Reset();
    m_Extraction.Reset();
    m_nValidatedFilesCount.store(0);
    m_nActiveWorkersCount.store(0);
    std::lock_guard lock(m_csEndOfRun);
    m_bEndOfRunSeen = false;
}

void TWorkQueues::Discard() {
    m_Download.Discard();
    m_Extraction.Discard();
}

bool TWorkQueues::Exists() const { return m_Download.Exists(); }

void TWorkQueues::EnqueueItemForDownload(PFileToDownload item) { m_Download.Push(std::move(item), {}); }

void TWorkQueues::EnqueueItemForExtraction(PFileToDownload item,
                                           const std::function<void(const TFileToDownload&)>& prepare) {
    m_Extraction.Push(std::move(item), prepare);
}

PFileToDownload TWorkQueues::DequeueDownloadItem() {
    return m_Download.Take(m_nActiveWorkersCount, m_nTakes, std::chrono::milliseconds(0));
}

PFileToDownload TWorkQueues::DequeueExtractionItem() {
    return m_Extraction.Take(m_nActiveWorkersCount, m_nTakes, std::chrono::milliseconds(0));
}

PFileToDownload TWorkQueues::WaitDownloadItem(std::chrono::milliseconds timeout) {
    return m_Download.Take(m_nActiveWorkersCount, m_nTakes, timeout);
}

PFileToDownload TWorkQueues::WaitExtractionItem(std::chrono::milliseconds timeout) {
    return m_Extraction.Take(m_nActiveWorkersCount, m_nTakes, timeout);
}

void TWorkQueues::WakeAll() {
    m_Download.Wake();
    m_Extraction.Wake();
}

void TWorkQueues::DecrementWorkerActiveCount() {
    if (m_nActiveWorkersCount.fetch_sub(1) != 1 || !m_Download.Empty() || !m_Extraction.Empty()) return;
    {
        std::lock_guard lock(m_csEndOfRun);
        m_bEndOfRunSeen = true;
    }
    m_EndOfRun.notify_all();
}

void TWorkQueues::WaitForEndOfRun(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_csEndOfRun);
    m_EndOfRun.wait_for(lock, timeout, [this] { return m_bEndOfRunSeen; });
    m_bEndOfRunSeen = false;
}

void TWorkQueues::UpdateTotalDownloaded(int64_t delta) { m_nDownloadedSize.fetch_add(delta); }

void TWorkQueues::IncrementValidatedCount() { m_nValidatedFilesCount.fetch_add(1); }

// A record only moves between queues through a worker that took it. So if no
// worker held a record at the start, both queues were then seen empty, and no
// record was taken meanwhile, nothing is left anywhere.
bool TWorkQueues::RunFinished() const {
    uint64_t takes = m_nTakes.load();
    if (m_nActiveWorkersCount.load() != 0) return false;
    if (!m_Download.Empty() || !m_Extraction.Empty()) return false;
    return m_nTakes.load() == takes;
}
