#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/ThreadPriority.h"

// Scheduling of the large files the extract workers unpack at the same time.
// A release is done when its costliest file is, and that file alone takes one
// core for seconds; shared fairly with the others it got half a core to two
// thirds, and then ran alone at the end while the other core idled. So the
// threads of the costliest file keep their priority, and those of the other
// large files are lowered a little (nice + kLowerBy): they still run whenever
// a core is free.
//
// Priorities are only ever lowered, which any process may do to its own
// threads; a lowered thread stays so until it ends, so each large file is
// unpacked by threads of its own. Failures to change a priority are ignored:
// it is only a hint to the scheduler. Any thread.
class TUnpackPriority {
public:
    static constexpr int kLowerBy = 5;

    // The threads working on one file, from Enter until the ticket goes away.
    class TTicket {
    public:
        TTicket(TUnpackPriority& owner, TThreadId key) : m_Owner(owner), m_Key(key) {}
        ~TTicket() { m_Owner.Leave(m_Key); }
        TTicket(const TTicket&) = delete;
        TTicket& operator=(const TTicket&) = delete;
        // Adds the calling thread to the file's threads; later calls from
        // the same thread do nothing (one other thread may join).
        void JoinOnce();

    private:
        TUnpackPriority& m_Owner;
        const TThreadId m_Key;
        std::atomic<bool> m_bJoined{false};
    };

    // The extract workers of the process share one.
    static TUnpackPriority& Process();

    // Registers the calling thread as working on a file of `nCost`: it is
    // lowered when costlier work runs, otherwise the cheaper work is.
    TTicket Enter(uint64_t nCost);

private:
    struct TEntry {
        std::vector<TThreadId> lstTids;  // the first is the one that entered
        uint64_t nCost;
        bool bLowered;
    };
    void Join(TThreadId key, TThreadId tid);
    void Leave(TThreadId key);
    static void Lower(TThreadId tid);

    std::mutex m_Mutex;
    std::vector<TEntry> m_lstRunning;
};
