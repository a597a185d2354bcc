#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/WorkQueues.h"
#include "workers/MemoryBudget.h"

namespace {

PFileToDownload Record(int64_t size) {
    auto r = std::make_unique<TFileToDownload>();
    r->nDownloadSize = size;
    r->strFileName = std::to_string(size);
    return r;
}

TEST(WorkQueues, LastInFirstOutAndTakingCountsTheWorker) {
    TWorkQueues q;
    q.Create();
    for (int64_t size : {100, 200, 300}) q.EnqueueItemForDownload(Record(size));
    auto first = q.DequeueDownloadItem();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->nDownloadSize, 300);
    EXPECT_EQ(q.ActiveWorkers(), 1u);
    EXPECT_EQ(q.DequeueDownloadItem()->nDownloadSize, 200);
    EXPECT_EQ(q.DequeueDownloadItem()->nDownloadSize, 100);
    EXPECT_EQ(q.DequeueDownloadItem(), nullptr);
    EXPECT_EQ(q.ActiveWorkers(), 3u);
}

TEST(WorkQueues, DiscardedQueuesIgnoreEnqueueAndAnswerNone) {
    TWorkQueues q;
    q.Create();
    q.EnqueueItemForDownload(Record(1));
    q.Discard();
    q.Discard();
    q.EnqueueItemForDownload(Record(2));
    bool prepared = false;
    q.EnqueueItemForExtraction(Record(3), [&](const TFileToDownload&) { prepared = true; });
    EXPECT_FALSE(prepared);
    EXPECT_EQ(q.DequeueDownloadItem(), nullptr);
    EXPECT_EQ(q.DequeueExtractionItem(), nullptr);
    EXPECT_EQ(q.WaitExtractionItem(std::chrono::milliseconds(20)), nullptr);
    EXPECT_TRUE(q.RunFinished());
}

TEST(WorkQueues, CountersAddAndTakeBackBytes) {
    TWorkQueues q;
    q.Create();
    q.UpdateTotalDownloaded(5'000'000'000);
    q.UpdateTotalDownloaded(-1'000);
    q.IncrementValidatedCount();
    EXPECT_EQ(q.DownloadedSize(), 4'999'999'000);
    EXPECT_EQ(q.ValidatedCount(), 1u);
    q.Create();
    EXPECT_EQ(q.ValidatedCount(), 0u) << "a new set-up restarts the file count";
    EXPECT_EQ(q.DownloadedSize(), 4'999'999'000) << "but keeps the bytes";
}

TEST(WorkQueues, RunFinishesOnlyWhenNothingIsQueuedOrHeld) {
    TWorkQueues q;
    q.Create();
    q.EnqueueItemForDownload(Record(1));
    EXPECT_FALSE(q.RunFinished());
    auto held = q.DequeueDownloadItem();
    EXPECT_FALSE(q.RunFinished()) << "a worker holds the record";
    q.EnqueueItemForExtraction(std::move(held));
    q.DecrementWorkerActiveCount();
    EXPECT_FALSE(q.RunFinished()) << "the record waits for extraction";
    held = q.DequeueExtractionItem();
    held.reset();
    q.DecrementWorkerActiveCount();
    EXPECT_TRUE(q.RunFinished());
}

// Workers bounce records between the queues (as failed unpacking sends them
// back to download) while the engine keeps checking: it must never see the run
// finished while a record is still on its way.
TEST(WorkQueues, EndOfRunIsNeverSeenEarlyUnderConcurrency) {
    TWorkQueues q;
    q.Create();
    const int kRecords = 200;
    for (int i = 0; i < kRecords; ++i) q.EnqueueItemForDownload(Record(i));
    std::atomic<int> completed{0};
    std::atomic<bool> stop{false};
    auto downloader = [&] {
        while (!stop) {
            auto r = q.WaitDownloadItem(std::chrono::milliseconds(1));
            if (!r) continue;
            q.EnqueueItemForExtraction(std::move(r));
            q.DecrementWorkerActiveCount();
        }
    };
    auto extractor = [&] {
        while (!stop) {
            auto r = q.WaitExtractionItem(std::chrono::milliseconds(1));
            if (!r) continue;
            if (r->nRetries++ < 2) {
                q.EnqueueItemForDownload(std::move(r));
            } else {
                r.reset();
                completed++;
            }
            q.DecrementWorkerActiveCount();
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) workers.emplace_back(downloader), workers.emplace_back(extractor);
    while (!q.RunFinished()) {
    }
    EXPECT_EQ(completed.load(), kRecords);
    stop = true;
    for (auto& w : workers) w.join();
}

// The progress loop waits on this between its cycles: it ends early when the
// last record is done, and only then.
TEST(WorkQueues, TheWaitBetweenProgressCyclesEndsWhenTheLastRecordIsDone) {
    using namespace std::chrono;
    TWorkQueues q;
    q.Create();
    q.EnqueueItemForExtraction(Record(1));
    q.EnqueueItemForExtraction(Record(2));
    ASSERT_TRUE(q.DequeueExtractionItem());

    // A record still queued: letting go of the other one is not the end.
    q.DecrementWorkerActiveCount();
    auto started = steady_clock::now();
    q.WaitForEndOfRun(milliseconds(100));
    EXPECT_GE(steady_clock::now() - started, milliseconds(100));

    ASSERT_TRUE(q.DequeueExtractionItem());
    std::thread worker([&] {
        std::this_thread::sleep_for(milliseconds(20));
        q.DecrementWorkerActiveCount();
    });
    started = steady_clock::now();
    q.WaitForEndOfRun(seconds(30));
    EXPECT_LT(steady_clock::now() - started, seconds(20));
    worker.join();
    EXPECT_TRUE(q.RunFinished());
}

TEST(MemoryBudget, WaitsForRoomAndLetsOneLargePackageThrough) {
    TMemoryBudget budget(100);
    auto never = [] { return false; };
    auto a = budget.Acquire(60, never);
    EXPECT_EQ(budget.Held(), 60u);
    std::atomic<bool> got{false};
    std::thread t([&] {
        auto b = budget.Acquire(60, never);
        got = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(got.load()) << "60 + 60 exceeds the budget";
    { auto released = std::move(a); }
    t.join();
    EXPECT_TRUE(got.load());
    EXPECT_EQ(budget.Held(), 0u);
    auto huge = budget.Acquire(1000, never);
    EXPECT_EQ(huge.Bytes(), 1000u) << "alone, a package larger than the budget is allowed";
    auto cancelled = budget.Acquire(1, [] { return true; });
    EXPECT_EQ(cancelled.Bytes(), 0u);
}

TEST(MemoryBudget, ALargerLimitLetsAWaitingWorkerThrough) {
    TMemoryBudget budget(100);
    auto never = [] { return false; };
    auto held = budget.Acquire(80, never);
    std::atomic<bool> got{false};
    std::thread t([&] {
        auto b = budget.Acquire(80, never);
        got = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(got.load());
    budget.SetLimit(200);
    t.join();
    EXPECT_TRUE(got.load()) << "80 + 80 fits the new limit while the first is still held";
    EXPECT_EQ(budget.Limit(), 200u);
}

}  // namespace
