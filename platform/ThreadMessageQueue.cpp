#include "platform/ThreadMessageQueue.h"

void TThreadMessageQueue::Post(TMessage msg) {
    {
        std::lock_guard lock(m_Mutex);
        m_Queue.push_back(std::move(msg));
    }
    m_Ready.notify_one();
}

bool TThreadMessageQueue::Get(TMessage& msg) {
    std::unique_lock lock(m_Mutex);
    m_Ready.wait(lock, [this] { return !m_Queue.empty(); });
    msg = std::move(m_Queue.front());
    m_Queue.pop_front();
    return msg.message != WM_QUIT;
}

std::optional<TMessage> TThreadMessageQueue::GetFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_Mutex);
    if (!m_Ready.wait_for(lock, timeout, [this] { return !m_Queue.empty(); })) return std::nullopt;
    TMessage msg = std::move(m_Queue.front());
    m_Queue.pop_front();
    return msg;
}

std::optional<TMessage> TThreadMessageQueue::Peek() {
    std::lock_guard lock(m_Mutex);
    if (m_Queue.empty()) return std::nullopt;
    TMessage msg = std::move(m_Queue.front());
    m_Queue.pop_front();
    return msg;
}

size_t TThreadMessageQueue::Size() const {
    std::lock_guard lock(m_Mutex);
    return m_Queue.size();
}
