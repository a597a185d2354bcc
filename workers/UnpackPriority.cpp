#include "workers/UnpackPriority.h"

#include <algorithm>

TUnpackPriority& TUnpackPriority::Process() {
    static TUnpackPriority s_Priority;
    return s_Priority;
}

TUnpackPriority::TTicket TUnpackPriority::Enter(uint64_t nCost) {
    const TThreadId tid = CurrentThreadId();
    std::lock_guard lock(m_Mutex);
    const bool bCostliest =
        std::none_of(m_lstRunning.begin(), m_lstRunning.end(), [&](const TEntry& e) { return e.nCost > nCost; });
    if (bCostliest) {
        for (TEntry& entry : m_lstRunning) {
            if (entry.nCost >= nCost || entry.bLowered) continue;
            entry.bLowered = true;
            for (TThreadId other : entry.lstTids) Lower(other);
        }
    } else {
        Lower(tid);
    }
    m_lstRunning.push_back(TEntry{{tid}, nCost, !bCostliest});
    return TTicket(*this, tid);
}

void TUnpackPriority::TTicket::JoinOnce() {
    if (!m_bJoined.exchange(true)) m_Owner.Join(m_Key, CurrentThreadId());
}

void TUnpackPriority::Join(TThreadId key, TThreadId tid) {
    std::lock_guard lock(m_Mutex);
    for (TEntry& entry : m_lstRunning) {
        if (entry.lstTids.front() != key) continue;
        entry.lstTids.push_back(tid);
        if (entry.bLowered) Lower(tid);
    }
}

void TUnpackPriority::Leave(TThreadId key) {
    std::lock_guard lock(m_Mutex);
    std::erase_if(m_lstRunning, [key](const TEntry& e) { return e.lstTids.front() == key; });
}

void TUnpackPriority::Lower(TThreadId tid) { LowerThreadPriority(tid, kLowerBy); }
