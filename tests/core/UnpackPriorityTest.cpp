#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <latch>
#include <thread>

#include "workers/UnpackPriority.h"

namespace {

int NiceOf(pid_t tid) { return getpriority(PRIO_PROCESS, static_cast<id_t>(tid)); }

// A thread that runs `body`, which calls the hold function it is given once
// it is set up; the thread then waits there until the object goes away.
class TWorkThread {
public:
    using THold = std::function<void()>;
    explicit TWorkThread(std::function<void(const THold&)> body) {
        std::promise<pid_t> started;
        auto tid = started.get_future();
        m_Thread = std::thread([this, body = std::move(body), started = std::move(started)]() mutable {
            body([&] {
                started.set_value(gettid());
                m_Go.wait();
            });
        });
        m_Tid = tid.get();
    }
    ~TWorkThread() { Finish(); }
    void Finish() {
        if (!m_Thread.joinable()) return;
        m_Go.count_down();
        m_Thread.join();
    }
    pid_t Tid() const { return m_Tid; }

private:
    std::latch m_Go{1};
    std::thread m_Thread;
    pid_t m_Tid = 0;
};

}  // namespace

TEST(UnpackPriority, OnlyTheCostliestFileKeepsItsPriorityWithTheThreadsThatJoinIt) {
    TUnpackPriority priority;
    const int base = NiceOf(gettid());
    const int lowered = base + TUnpackPriority::kLowerBy;
    if (lowered > 19) GTEST_SKIP() << "already running at the lowest priority";
    TUnpackPriority::TTicket* quotes = nullptr;
    TUnpackPriority::TTicket* chart = nullptr;
    auto enter = [&](uint64_t cost, TUnpackPriority::TTicket** held) {
        return [&priority, cost, held](const TWorkThread::THold& hold) {
            TUnpackPriority::TTicket ticket = priority.Enter(cost);
            if (held) *held = &ticket;
            hold();
        };
    };
    auto join = [](TUnpackPriority::TTicket*& ticket) {
        return [&ticket](const TWorkThread::THold& hold) {
            ticket->JoinOnce();
            hold();
        };
    };

    TWorkThread quotesThread(enter(100, &quotes));
    EXPECT_EQ(NiceOf(quotesThread.Tid()), base) << "alone, a file keeps its priority";
    TWorkThread quotesWriter(join(quotes));

    TWorkThread chartThread(enter(300, &chart));
    TWorkThread chartWriter(join(chart));
    EXPECT_EQ(NiceOf(chartThread.Tid()), base);
    EXPECT_EQ(NiceOf(chartWriter.Tid()), base);
    EXPECT_EQ(NiceOf(quotesThread.Tid()), lowered) << "a costlier file arrived";
    EXPECT_EQ(NiceOf(quotesWriter.Tid()), lowered) << "so did the thread that joined it";

    TWorkThread cheaper(enter(200, nullptr));
    EXPECT_EQ(NiceOf(cheaper.Tid()), lowered) << "a cheaper file starts lowered";

    for (TWorkThread* done : {&cheaper, &chartWriter, &chartThread, &quotesWriter, &quotesThread}) done->Finish();
    TWorkThread afterwards(enter(1, nullptr));
    EXPECT_EQ(NiceOf(afterwards.Tid()), base) << "finished files no longer count";
}
