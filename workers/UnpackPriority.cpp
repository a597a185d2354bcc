#include "workers/UnpackPriority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

TUnpackPriority& TUnpackPriority::Process() {
    static TUnpackPriority s_Priority;
    return s_Priority;
}

TUnpackPriority::TTicket TUnpackPriority::Enter(uint64_t nCost) {
    const pid_t tid = gettid();
    std::lock_guard lock(m_Mutex);
    const bool bCostliest =
        std::none_of(m_lstRunning.begin(), m_lstRunning.end(), [&](const TEntry& e) { return e.nCost > nCost; });
    if (bCostliest) {
        for (TEntry& entry : m_lstRunning) {
            if (entry.nCost >= nCost || entry.bLowered) continue;
            entry.bLowered = true;
            for (pid_t other : entry.lstTids) Lower(other);
        }
    } else {
        Lower(tid);
    }
    m_lstRunning.push_back(TEntry{{tid}, nCost, !bCostliest});
    return TTicket(*this, tid);
}

void TUnpackPriority::TTicket::JoinOnce() {
    if (!m_bJoined.exchange(true)) m_Owner.Join(m_Key, gettid());
}

void TUnpackPriority::Join(pid_t key, pid_t tid) {
    std::lock_guard lock(m_Mutex);
    for (TEntry& entry : m_lstRunning) {
        if (entry.lstTids.front() != key) continue;
        entry.lstTids.push_back(tid);
        if (entry.bLowered) Lower(tid);
    }
}

void TUnpackPriority::Leave(pid_t key) {
    std::lock_guard lock(m_Mutex);
    std::erase_if(m_lstRunning, [key](const TEntry& e) { return e.lstTids.front() == key; });
}

void TUnpackPriority::Lower(pid_t tid) {
    // A thread starts with the nice value of the one that made it.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno != 0) return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(nice + kLowerBy, 19));
}
